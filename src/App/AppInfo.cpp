// Keeps the interface library non-empty until the shell's classes arrive.
namespace trelvio_ui_anchor { int anchor = 0; }
