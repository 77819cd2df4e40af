// kc_resources carries no code of its own: its content is the compiled
// icons.qrc, which qt_add_resources() links directly into every executable
// that uses the library. This file exists because CMake refuses a static
// library target without at least one source file.
