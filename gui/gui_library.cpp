// Keeps the windowed program's library non-empty while its windows are added one by one.
namespace kesta_gui {
[[maybe_unused]] static const int kLibraryMarker = 0;
}
