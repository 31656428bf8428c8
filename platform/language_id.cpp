// Locale names ("language_TERRITORY.codeset@modifier") to Windows language
// identifiers. Both backends read it: Linux for the user's locale,
// Windows for names a game passes in.
#include "platform/system_info.hpp"

#include <cctype>
#include <string>
#include <string_view>

namespace crv::plat {

namespace {

// Language subtag, the primary language id, and the territories in the
// order of their sub-language numbers (1, 2, ...; "-" marks a gap).
struct LanguageRow {
    const char* language;
    int primary;
    const char* territories;
    int default_sublanguage;
};

constexpr LanguageRow k_languages[] = {
    {"ar", 0x01, "SA IQ EG LY DZ MA TN OM YE SY JO LB KW AE BH QA", 1},
    {"bg", 0x02, "BG", 1},
    {"ca", 0x03, "ES", 1},
    {"zh", 0x04, "TW CN HK SG MO", 2},
    {"cs", 0x05, "CZ", 1},
    {"da", 0x06, "DK", 1},
    {"de", 0x07, "DE CH AT LU LI", 1},
    {"el", 0x08, "GR", 1},
    {"en", 0x09, "US GB AU CA NZ IE ZA JM - BZ TT ZW PH - - IN MY SG", 1},
    // Sub-language 1 is the traditional sort order of Spain; systems name
    // Spain's modern sort, 3.
    {"es", 0x0a, "- MX ES GT CR PA DO VE CO PE AR EC CL UY PY BO SV HN NI PR US", 3},
    {"fi", 0x0b, "FI", 1},
    {"fr", 0x0c, "FR BE CA CH LU MC", 1},
    {"he", 0x0d, "IL", 1},
    {"iw", 0x0d, "IL", 1},
    {"hu", 0x0e, "HU", 1},
    {"is", 0x0f, "IS", 1},
    {"it", 0x10, "IT CH", 1},
    {"ja", 0x11, "JP", 1},
    {"ko", 0x12, "KR", 1},
    {"nl", 0x13, "NL BE", 1},
    {"nb", 0x14, "NO", 1},
    {"no", 0x14, "NO", 1},
    {"nn", 0x14, "-", 2},
    {"pl", 0x15, "PL", 1},
    {"pt", 0x16, "BR PT", 1},
    {"rm", 0x17, "CH", 1},
    {"ro", 0x18, "RO", 1},
    {"ru", 0x19, "RU", 1},
    {"hr", 0x1a, "HR", 1},
    {"sr", 0x1a, "-", 3},
    {"sk", 0x1b, "SK", 1},
    {"sq", 0x1c, "AL", 1},
    {"sv", 0x1d, "SE FI", 1},
    {"th", 0x1e, "TH", 1},
    {"tr", 0x1f, "TR", 1},
    {"ur", 0x20, "PK IN", 1},
    {"id", 0x21, "ID", 1},
    {"in", 0x21, "ID", 1},
    {"uk", 0x22, "UA", 1},
    {"be", 0x23, "BY", 1},
    {"sl", 0x24, "SI", 1},
    {"et", 0x25, "EE", 1},
    {"lv", 0x26, "LV", 1},
    {"lt", 0x27, "LT", 1},
    {"tg", 0x28, "TJ", 1},
    {"fa", 0x29, "IR", 1},
    {"vi", 0x2a, "VN", 1},
    {"hy", 0x2b, "AM", 1},
    {"az", 0x2c, "AZ", 1},
    {"eu", 0x2d, "ES", 1},
    {"mk", 0x2f, "MK", 1},
    {"af", 0x36, "ZA", 1},
    {"ka", 0x37, "GE", 1},
    {"fo", 0x38, "FO", 1},
    {"hi", 0x39, "IN", 1},
    {"mt", 0x3a, "MT", 1},
    {"ga", 0x3c, "- IE", 2},
    {"ms", 0x3e, "MY BN", 1},
    {"kk", 0x3f, "KZ", 1},
    {"ky", 0x40, "KG", 1},
    {"sw", 0x41, "KE", 1},
    {"tk", 0x42, "TM", 1},
    {"uz", 0x43, "UZ", 1},
    {"tt", 0x44, "RU", 1},
    {"bn", 0x45, "IN BD", 1},
    {"pa", 0x46, "IN", 1},
    {"gu", 0x47, "IN", 1},
    {"or", 0x48, "IN", 1},
    {"ta", 0x49, "IN", 1},
    {"te", 0x4a, "IN", 1},
    {"kn", 0x4b, "IN", 1},
    {"ml", 0x4c, "IN", 1},
    {"as", 0x4d, "IN", 1},
    {"mr", 0x4e, "IN", 1},
    {"sa", 0x4f, "IN", 1},
    {"mn", 0x50, "MN", 1},
    {"cy", 0x52, "GB", 1},
    {"gl", 0x56, "ES", 1},
    {"kok", 0x57, "IN", 1},
    {"syr", 0x5a, "SY", 1},
    {"dv", 0x65, "MV", 1},
};

int sublanguage_of(const LanguageRow& row, std::string_view territory) {
    std::string_view list(row.territories);
    int number = 1;
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t end = list.find(' ', pos);
        if (end == std::string_view::npos) end = list.size();
        if (!territory.empty() && list.substr(pos, end - pos) == territory) return number;
        ++number;
        pos = end + 1;
    }
    return row.default_sublanguage;
}

}  // namespace

int language_id_of_locale(const char* locale) {
    std::string_view text = locale != nullptr ? locale : "";
    if (text.empty() || text == "C" || text == "POSIX" || text.substr(0, 2) == "C.") return 1033;
    // language[_territory][.codeset][@modifier]
    std::string_view modifier;
    std::size_t at = text.find('@');
    if (at != std::string_view::npos) {
        modifier = text.substr(at + 1);
        text = text.substr(0, at);
    }
    text = text.substr(0, text.find('.'));
    std::size_t underscore = text.find_first_of("_-");
    std::string language(text.substr(0, underscore));
    std::string territory(underscore == std::string_view::npos ? std::string_view() : text.substr(underscore + 1));
    for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : territory) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const LanguageRow& row : k_languages) {
        if (language != row.language) continue;
        int sub = sublanguage_of(row, territory);
        // Serbian, Uzbek and Azeri name their script in the modifier.
        if (language == "sr") sub = modifier == "latin" ? 2 : 3;
        if ((language == "uz" || language == "az") && modifier == "cyrillic") sub = 2;
        return (sub << 10) | row.primary;
    }
    return 0;
}

}  // namespace crv::plat
