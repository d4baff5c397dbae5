#include "platform/backend/gtk/key_codes.h"

#include <gdk/gdkkeysyms.h>

namespace gtkdesk {
namespace {

constexpr WPARAM kUnknownKey = 0xFF;

struct KeyEntry {
    guint keyval;
    WPARAM vk;
};

constexpr KeyEntry kKeys[] = {
    {GDK_KEY_BackSpace, 0x08},    {GDK_KEY_Tab, 0x09},          {GDK_KEY_ISO_Left_Tab, 0x09},
    {GDK_KEY_Clear, 0x0C},        {GDK_KEY_Return, 0x0D},       {GDK_KEY_KP_Enter, 0x0D},
    {GDK_KEY_Shift_L, 0x10},      {GDK_KEY_Shift_R, 0x10},      {GDK_KEY_Control_L, 0x11},
    {GDK_KEY_Control_R, 0x11},    {GDK_KEY_Alt_L, 0x12},        {GDK_KEY_Alt_R, 0x12},
    {GDK_KEY_Meta_L, 0x12},       {GDK_KEY_Meta_R, 0x12},       {GDK_KEY_Pause, 0x13},
    {GDK_KEY_Caps_Lock, 0x14},    {GDK_KEY_Escape, 0x1B},       {GDK_KEY_space, 0x20},
    {GDK_KEY_KP_Space, 0x20},     {GDK_KEY_Page_Up, 0x21},      {GDK_KEY_KP_Page_Up, 0x21},
    {GDK_KEY_Page_Down, 0x22},    {GDK_KEY_KP_Page_Down, 0x22}, {GDK_KEY_End, 0x23},
    {GDK_KEY_KP_End, 0x23},       {GDK_KEY_Home, 0x24},         {GDK_KEY_KP_Home, 0x24},
    {GDK_KEY_Left, 0x25},         {GDK_KEY_KP_Left, 0x25},      {GDK_KEY_Up, 0x26},
    {GDK_KEY_KP_Up, 0x26},        {GDK_KEY_Right, 0x27},        {GDK_KEY_KP_Right, 0x27},
    {GDK_KEY_Down, 0x28},         {GDK_KEY_KP_Down, 0x28},      {GDK_KEY_Print, 0x2C},
    {GDK_KEY_Insert, 0x2D},       {GDK_KEY_KP_Insert, 0x2D},    {GDK_KEY_Delete, 0x2E},
    {GDK_KEY_KP_Delete, 0x2E},    {GDK_KEY_Super_L, 0x5B},      {GDK_KEY_Super_R, 0x5C},
    {GDK_KEY_Menu, 0x5D},         {GDK_KEY_KP_Multiply, 0x6A},  {GDK_KEY_KP_Add, 0x6B},
    {GDK_KEY_KP_Separator, 0x6C}, {GDK_KEY_KP_Subtract, 0x6D},  {GDK_KEY_KP_Decimal, 0x6E},
    {GDK_KEY_KP_Divide, 0x6F},    {GDK_KEY_Num_Lock, 0x90},     {GDK_KEY_Scroll_Lock, 0x91},
    {GDK_KEY_semicolon, 0xBA},    {GDK_KEY_equal, 0xBB},        {GDK_KEY_comma, 0xBC},
    {GDK_KEY_minus, 0xBD},        {GDK_KEY_period, 0xBE},       {GDK_KEY_slash, 0xBF},
    {GDK_KEY_grave, 0xC0},        {GDK_KEY_bracketleft, 0xDB},  {GDK_KEY_backslash, 0xDC},
    {GDK_KEY_bracketright, 0xDD}, {GDK_KEY_apostrophe, 0xDE},
};

WPARAM FromKeyval(guint keyval) {
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 'A' + (keyval - GDK_KEY_A);
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return '0' + (keyval - GDK_KEY_0);
    if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9) return 0x60 + (keyval - GDK_KEY_KP_0);
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) return 0x70 + (keyval - GDK_KEY_F1);
    for (const KeyEntry& e : kKeys)
        if (e.keyval == keyval) return e.vk;
    return 0;
}

}  // namespace

WPARAM VirtualKeyOf(const GdkEventKey* event) {
    if (!event) return kUnknownKey;
    if (WPARAM vk = FromKeyval(event->keyval)) return vk;
    // Shifted symbols ('!' on the 1 key) name the key by its unshifted meaning.
    guint base = 0;
    GdkDisplay* display =
        event->window ? gdk_window_get_display(event->window) : gdk_display_get_default();
    GdkKeymap* keymap = gdk_keymap_get_for_display(display);
    if (gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode, GdkModifierType(0), 0,
                                            &base, nullptr, nullptr, nullptr))
        if (WPARAM vk = FromKeyval(base)) return vk;
    return kUnknownKey;
}

}  // namespace gtkdesk
