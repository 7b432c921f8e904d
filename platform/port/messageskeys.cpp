// SDL key codes to the platform's virtual-key codes (US layout names).
#include "platform/port/windowstate.h"

namespace port::detail {
namespace {

struct KeyPair {
  SDL_Keycode sdl;
  UINT virtualKey;
};

constexpr KeyPair NamedKeys[] = {
    {SDLK_ESCAPE, VK_ESCAPE},     {SDLK_RETURN, VK_RETURN},     {SDLK_KP_ENTER, VK_RETURN},
    {SDLK_TAB, VK_TAB},           {SDLK_BACKSPACE, VK_BACK},    {SDLK_SPACE, VK_SPACE},
    {SDLK_LEFT, VK_LEFT},         {SDLK_UP, VK_UP},             {SDLK_RIGHT, VK_RIGHT},
    {SDLK_DOWN, VK_DOWN},         {SDLK_INSERT, VK_INSERT},     {SDLK_DELETE, VK_DELETE},
    {SDLK_HOME, VK_HOME},         {SDLK_END, VK_END},           {SDLK_PAGEUP, VK_PRIOR},
    {SDLK_PAGEDOWN, VK_NEXT},     {SDLK_LSHIFT, VK_SHIFT},      {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},     {SDLK_RCTRL, VK_CONTROL},     {SDLK_LALT, VK_MENU},
    {SDLK_RALT, VK_MENU},         {SDLK_LGUI, VK_LWIN},         {SDLK_RGUI, VK_RWIN},
    {SDLK_APPLICATION, VK_APPS},  {SDLK_PAUSE, VK_PAUSE},       {SDLK_CAPSLOCK, VK_CAPITAL},
    {SDLK_PRINTSCREEN, VK_SNAPSHOT}, {SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDLK_SCROLLLOCK, VK_SCROLL}, {SDLK_KP_MULTIPLY, VK_MULTIPLY}, {SDLK_KP_PLUS, VK_ADD},
    {SDLK_KP_MINUS, VK_SUBTRACT}, {SDLK_KP_PERIOD, VK_DECIMAL}, {SDLK_KP_DIVIDE, VK_DIVIDE},
    {SDLK_SEMICOLON, VK_OEM_1},   {SDLK_EQUALS, VK_OEM_PLUS},   {SDLK_COMMA, VK_OEM_COMMA},
    {SDLK_MINUS, VK_OEM_MINUS},   {SDLK_PERIOD, VK_OEM_PERIOD}, {SDLK_SLASH, VK_OEM_2},
    {SDLK_BACKQUOTE, VK_OEM_3},   {SDLK_LEFTBRACKET, VK_OEM_4}, {SDLK_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, VK_OEM_6}, {SDLK_QUOTE, VK_OEM_7},
};

// The function keys F1 to F12 and F13 to F24 are two runs in SDL, one in the platform.
constexpr int LowFunctionKeys = 12;
constexpr int HighFunctionKeys = 12;

} // namespace

UINT virtualKeyFor(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return UINT('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return UINT('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key < SDLK_F1 + LowFunctionKeys) return UINT(VK_F1 + (key - SDLK_F1));
  if (key >= SDLK_F13 && key < SDLK_F13 + HighFunctionKeys)
    return UINT(VK_F13 + (key - SDLK_F13));
  // SDL puts keypad 0 after keypad 9.
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return UINT(VK_NUMPAD0 + 1 + (key - SDLK_KP_1));
  if (key == SDLK_KP_0) return VK_NUMPAD0;
  for (const KeyPair& k : NamedKeys)
    if (k.sdl == key) return k.virtualKey;
  return VK_PORT_UNMAPPED;
}

} // namespace port::detail
