// Veltrack: a pseudo-3D road. A depth table (ZMap) turns each of 120 screen
// rows into a distance; light and dark bands scroll toward the viewer and
// straight and curved stretches follow each other. The program reads no
// input of its own; Escape, Alt+F4 or closing the window end it.
//
// Built with debugger hooks: every statement reports its source line, and
// the locals are published in declaration order.
#include <corvane/corvane.hpp>

namespace crv {

namespace {

DynArray<double> ZMap;

// The module's global table: registered before the program starts, removed
// (and the array's storage freed) when the process ends.
struct GlobalRegistration {
    GlobalRegistration() {
        DebugCall call;
        debug_register_global("ZMap", k_variable_array, &ZMap);
    }
    ~GlobalRegistration() {
        DebugCall call;
        debug_unregister_global(&ZMap);
        ZMap = DynArray<double>();
    }
} global_registration;

std::int32_t level(double v) { return to_int32(v) & 0xff; }
std::int32_t grey(double v) { return level(v) + level(v) * 256 + level(v) * 65536; }
std::int32_t green(double v) { return level(v) * 256; }

}  // namespace

void load_project_settings() {
    app_state.screen_width = 640;
    app_state.screen_height = 480;
    app_state.full_screen = 0;
    app_state.debug_mode = 1;
    app_state.mouse_exclusive = 0;
    app_state.multisample = 0;
    app_state.frame_rate = 60;
    app_state.caption = "Veltrack";
    set_program_build_info(ProgramBuildInfo{__DATE__ "-" __TIME__, "5e1a7bac", "000.001"});
}

void game_main() {
    DebugCall call;
    double A = 0, b = 0, X = 0, DX = 0, DDX = 0, HalfWidth = 0, SegY = 0, TexOffset = 0, C = 0;
    DynString NextStretch_Str;
    double ScreenLine = 0, GrassColor = 0, RoadColor = 0;
    const VariableEntry entries[] = {
        {"A", k_variable_number, &A},
        {"b", k_variable_number, &b},
        {"X", k_variable_number, &X},
        {"DX", k_variable_number, &DX},
        {"DDX", k_variable_number, &DDX},
        {"HalfWidth", k_variable_number, &HalfWidth},
        {"SegY", k_variable_number, &SegY},
        {"TexOffset", k_variable_number, &TexOffset},
        {"C", k_variable_number, &C},
        {"NextStretch_Str", k_variable_text, &NextStretch_Str},
        {"ScreenLine", k_variable_number, &ScreenLine},
        {"GrassColor", k_variable_number, &GrassColor},
        {"RoadColor", k_variable_number, &RoadColor},
    };
    VariableTable locals{0, entries};
    auto line = [&locals](std::int32_t n) { debug_line_hook(0, n, &locals); };
    auto z = [](double index) -> double& { return ZMap.element_at(to_int32(index)); };

    line(32);
    ZMap.set_dimensions(121, 0, 0, 0);
    line(34);
    locals.count = 13;

    // The depth table: raw -1 / (A - 160), scaled so that row 8 lies at 100.
    line(37);
    for (A = 1; A <= 120; A += 1) {
        line(38);
        z(A) = -1 / (A - 160);
        line(39);
    }
    line(43);
    b = 1 / z(8);
    line(44);
    b = 100 * b;
    line(45);
    for (A = 1; A <= 120; A += 1) {
        line(46);
        z(A) = b * z(A);
        line(47);
    }

    line(50);
    set_screen_mode(480, 320, 0);
    line(53);
    NextStretch_Str = "Straight";
    line(56);
    for (A = 1; A <= 200; A += 1) {
        line(57);
        draw_line(0, to_int32(A), 480, to_int32(A), 0x090909);
        line(58);
    }
    line(60);
    TexOffset = 100;
    line(61);
    SegY = 120;
    line(62);
    DX = 0;
    line(63);
    DDX = 0.02;

    line(65);
    for (;;) {
        line(68);
        X = 240;
        line(69);
        DX = 0;
        line(70);
        HalfWidth = 120;
        line(71);
        ScreenLine = 319;
        line(72);
        debug_print(number_to_text(ScreenLine) + "\n");
        line(73);
        for (A = 1; A <= 120; A += 1) {
            line(74);
            if (int_mod(to_int32(TexOffset + z(A)), 100) > 50) {
                line(75);
                GrassColor = 100;
                line(76);
                RoadColor = 200;
                line(77);
            } else {
                line(78);
                GrassColor = 200;
                line(79);
                RoadColor = 100;
                line(80);
            }
            line(82);
            draw_line(to_int32(X - HalfWidth), to_int32(ScreenLine), to_int32(X + HalfWidth), to_int32(ScreenLine),
                      grey(RoadColor));
            line(84);
            draw_line(0, to_int32(ScreenLine), to_int32(X - HalfWidth), to_int32(ScreenLine), green(GrassColor));
            line(85);
            draw_line(to_int32(X + HalfWidth), to_int32(ScreenLine), 479, to_int32(ScreenLine), green(GrassColor));
            line(86);
            HalfWidth = HalfWidth - 1;
            line(87);
            ScreenLine = ScreenLine - 1;
            line(89);
            if (NextStretch_Str == "Straight") {
                line(90);
                if (A > SegY) {
                    line(91);
                    DX = DX + DDX;
                }
                line(92);
                line(93);
            } else {
                line(94);
                if (NextStretch_Str == "Curved" && SegY > A) {
                    line(95);
                    DX = DDX + DX;
                }
                line(96);
                line(97);
            }
            line(98);
            X = X + DX;
            line(99);
        }
        line(101);
        present_frame();
        line(105);
        TexOffset = TexOffset + 10;
        line(106);
        while (TexOffset >= 100) {
            line(107);
            TexOffset = TexOffset - 100;
            line(108);
        }
        line(110);
        SegY = SegY - 1;
        line(111);
        while (SegY < 0) {
            line(112);
            SegY = SegY + 120;
            line(113);
            if (NextStretch_Str == "Curved") {
                line(114);
                NextStretch_Str = "Straight";
                line(115);
            } else {
                line(116);
                if (NextStretch_Str == "Straight") NextStretch_Str = "Curved";
                line(117);
            }
            line(118);
        }
        line(120);
    }
}

}  // namespace crv
