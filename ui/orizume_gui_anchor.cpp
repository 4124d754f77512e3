// Keeps the library non-empty while its folders grow; holds nothing else.
namespace orizume_gui_anchor {
int anchor = 0;
}
