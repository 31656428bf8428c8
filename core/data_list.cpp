#include <corvane/core.hpp>

#include "core/number_text.hpp"

namespace crv {

namespace {

DataList* current_list = nullptr;

// The next item, or null after the program end was requested.
const DataItem* next_item() {
    DataList* list = current_list;
    if (list == nullptr || list->read_index < 0 || list->read_index >= list->count) {
        set_error(20);
        end_program();
        return nullptr;
    }
    return &list->items[list->read_index++];
}

}  // namespace

void data_select(DataList& list) {
    list.read_index = 0;
    current_list = &list;
}

void data_read_text(DynString& target) {
    const DataItem* item = next_item();
    if (item == nullptr) return;
    target = item->text != nullptr ? DynString(item->text) : DynString(item->number);
}

void data_read_double(double& target) {
    const DataItem* item = next_item();
    if (item == nullptr) return;
    target = item->text != nullptr ? parse_double(item->text) : item->number;
}

void data_read_int(int& target) {
    const DataItem* item = next_item();
    if (item == nullptr) return;
    target = item->text != nullptr ? parse_int(item->text) : to_int32(item->number);
}

}  // namespace crv
