// The core library always has at least this translation unit.
namespace lw { void CoreAnchor() {} }
