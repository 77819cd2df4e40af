// kc_web carries no code of its own: its content is the page's files, which
// qt_add_resources() links into every executable that uses the library.
// CMake refuses a static library target without a source file.
