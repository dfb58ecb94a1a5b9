#include "standin_windows_win32.h"
#include "wine_refusal_win32.h"

#include "announcer/mirc_interface.h"

#include <cstdio>

#include <windows.h>

namespace {

constexpr UINT mirc_command_message = mirc_interface::command_message;
constexpr UINT mirc_message_range_last = 0x7FFF;
constexpr wchar_t status_class[] = L"mIRC_StandinStatus";

LRESULT CALLBACK status_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* handler = reinterpret_cast<command_handler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (handler != nullptr && message == mirc_command_message) return handler->run_command(window, w, l);
  if (handler != nullptr && message >= WM_USER && message <= mirc_message_range_last)
    return handler->refuse_message(message);
  return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK frame_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

bool refused(const char* what) {
  std::fprintf(stderr, "mirc-standin: cannot %s (error %lu)\n", what, GetLastError());
  return false;
}

} // namespace

bool create_standin_windows(const standin_options& options, command_handler& handler) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW frame{};
  frame.lpfnWndProc = frame_procedure;
  frame.hInstance = instance;
  frame.lpszClassName = options.class_name.c_str();
  WNDCLASSW status{};
  status.lpfnWndProc = status_procedure;
  status.hInstance = instance;
  status.lpszClassName = status_class;
  if (!RegisterClassW(&frame) || !RegisterClassW(&status)) return refused("register the window classes");
  HWND main_window =
      create_top_level_window("mirc-standin", 0, options.class_name.c_str(), L"mIRC stand-in", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 400, 300, instance, &handler);
  if (!main_window) return refused("create the main window");
  if (options.shape == L"no-mdiclient") return true;
  CLIENTCREATESTRUCT client{};
  HWND mdi_client = CreateWindowExW(0, L"MDIClient", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 400, 300, main_window,
                                    nullptr, instance, &client);
  if (!mdi_client) return refused("create the MDIClient window");
  if (options.shape != L"full") return true;
  // The first window made is the status window; the rest are channels.
  for (unsigned long i = 0; i < options.channels; ++i)
    if (!CreateWindowExW(0, status_class, i == 0 ? L"Status" : L"#channel", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300,
                         mdi_client, nullptr, instance, &handler))
      return refused("create the status window");
  return true;
}

void run_message_loop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
