// The gui library always has at least this translation unit.
namespace lw { void GuiAnchor() {} }
