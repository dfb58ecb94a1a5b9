// The "prefs" command: the player's preferences window with the component's
// page embedded as a child, and Reset, Apply (enabled only while the page
// reports a change) and Close. Actions given on the command line drive the
// page and the buttons with real messages before the window is left to the
// user; "close" ends it.
#include "handle_owner_win32.h"
#include "host/preferences.h"
#include "host_commands.h"
#include "host_version_info_standin.h"
#include "text_sink.h"
#include "text_win32.h"
#include "wine_refusal_win32.h"

#include <cstdio>
#include <cwchar>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include <windows.h>

namespace {

constexpr int id_apply = 100;
constexpr int id_reset = 101;
constexpr int id_close = 102;
constexpr int id_pages = 103;
constexpr int page_check_box = 1001;
constexpr int page_field = 1003;
constexpr wchar_t frame_class[] = L"CorvanePreferencesFrame";

std::wstring to_wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

// Tells the window whenever the page reports a change.
class prefs_listener : public page_state_listener {
public:
  explicit prefs_listener(std::function<void()> changed) : changed_(std::move(changed)) {}
  bool query_class(service_base*&, const guid&) override { return false; }
  void notify_state_change() override {
    ++notifications;
    changed_();
  }
  int notifications = 0;

protected:
  ~prefs_listener() = default;

private:
  std::function<void()> changed_;
};

// The player's own window could not be made (no display, most often): the
// player's failure, not the component's.
class frame_unavailable : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class prefs_frame {
public:
  explicit prefs_frame(preferences_page_v3& page) : page_(page) {}

  // Builds the frame, then the page inside it.
  void open(page_state_listener* listener) {
    register_class();
    frame_.reset(create_top_level_window("corvane-host", WS_EX_CONTROLPARENT, frame_class, L"Corvane Preferences",
                                         WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                         CW_USEDEFAULT, 720, 440, GetModuleHandleW(nullptr), this));
    if (!frame_) throw frame_unavailable(system_error_text(GetLastError()));
    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
      HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, frame_.get(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
      SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      return c;
    };
    pages_ = child(L"LISTBOX", L"", WS_BORDER | LBS_NOINTEGRALHEIGHT, 10, 10, 160, 340, id_pages);
    SendMessageW(pages_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Tools"));
    const std::wstring name = L"    " + to_wide(page_.display_name());
    SendMessageW(pages_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(pages_, LB_SETCURSEL, 1, 0);
    text_sink help;
    if (page_.help_url(help))
      help_ = child(L"STATIC", to_wide(help.text()).c_str(), SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS | SS_NOPREFIX, 180,
                    330, 510, 18, 0);
    reset_ = child(L"BUTTON", L"Reset page", BS_PUSHBUTTON | WS_TABSTOP, 180, 358, 100, 26, id_reset);
    apply_ = child(L"BUTTON", L"Apply", BS_PUSHBUTTON | WS_TABSTOP, 496, 358, 90, 26, id_apply);
    close_ = child(L"BUTTON", L"Close", BS_DEFPUSHBUTTON | WS_TABSTOP, 596, 358, 90, 26, id_close);
    EnableWindow(apply_, FALSE);

    listener->add_ref(); // handed over by value
    instance_ = host_ref<preferences_page_instance>::adopt(page_.make_instance(frame_.get(), listener));
    page_window_ = static_cast<HWND>(instance_->window_handle());
    SetWindowPos(page_window_, HWND_TOP, 180, 10, 0, 0, SWP_NOSIZE);
    ShowWindow(page_window_, SW_SHOW);
    ShowWindow(frame_.get(), SW_SHOW);
    UpdateWindow(frame_.get());
    refresh();
  }

  // The page's window goes first, then the instance, then the frame.
  void close() {
    if (page_window_ != nullptr && IsWindow(page_window_)) DestroyWindow(page_window_);
    page_window_ = nullptr;
    instance_.reset();
    frame_.reset();
  }

  bool is_open() const { return frame_.get() != nullptr; }

  // Apply follows the page's changed bit.
  void refresh() {
    if (!instance_ || apply_ == nullptr) return;
    const std::uint32_t state = instance_->state_flags();
    EnableWindow(apply_, (state & page_state_changed) != 0);
    EnableWindow(reset_, (state & page_state_resettable) != 0);
  }

  // Runs the message loop until the frame is closed or timeout_ms passes
  // (INFINITE: until closed).
  void pump(DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return;
        if (!IsDialogMessageW(frame_.get(), &msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
        rethrow_pending();
      }
      if (!is_open()) return;
      const DWORD elapsed = GetTickCount() - start;
      if (timeout_ms != INFINITE && elapsed >= timeout_ms) return;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms == INFINITE ? INFINITE : timeout_ms - elapsed,
                                QS_ALLINPUT);
    }
  }

  // One scripted action; false if it is not known.
  bool act(const std::wstring& action) {
    const auto value_of = [&](const wchar_t* key) { return action.substr(std::wcslen(key)); };
    if (action == L"click") {
      SendMessageW(GetDlgItem(page_window_, page_check_box), BM_CLICK, 0, 0);
    } else if (action.rfind(L"set=", 0) == 0) {
      const std::wstring text = value_of(L"set=");
      SendMessageW(GetDlgItem(page_window_, page_field), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    } else if (action.rfind(L"type=", 0) == 0) {
      HWND field = GetDlgItem(page_window_, page_field);
      SendMessageW(field, EM_SETSEL, 0x7FFF, 0x7FFF);
      for (wchar_t ch : value_of(L"type="))
        SendMessageW(field, WM_CHAR, ch, 1);
    } else if (action == L"apply") {
      SendMessageW(apply_, BM_CLICK, 0, 0);
    } else if (action == L"reset") {
      SendMessageW(reset_, BM_CLICK, 0, 0);
    } else if (action == L"close") {
      SendMessageW(close_, BM_CLICK, 0, 0);
    } else if (action.rfind(L"wait=", 0) == 0) {
      pump(static_cast<DWORD>(std::wcstoul(value_of(L"wait=").c_str(), nullptr, 10)));
    } else if (action == L"state") {
      print_state();
    } else {
      return false;
    }
    rethrow_pending();
    return true;
  }

  void print_state() {
    wchar_t text[512] = {};
    GetDlgItemTextW(page_window_, page_field, text, 512);
    std::printf("state: %u, apply %s, send %s, pattern \"%s\"\n", static_cast<unsigned>(instance_->state_flags()),
                IsWindowEnabled(apply_) ? "enabled" : "disabled",
                IsDlgButtonChecked(page_window_, page_check_box) == BST_CHECKED ? "checked" : "unchecked",
                to_utf8(text).c_str());
    std::fflush(stdout); // a script watching the output learns that the window is up
  }

private:
  static void register_class() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = frame_procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = frame_class;
    RegisterClassExW(&wc); // a second registration in the same process fails harmlessly
  }

  static LRESULT CALLBACK frame_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE)
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    auto* self = reinterpret_cast<prefs_frame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->frame_.get() == window) {
      // The page's operations may raise; nothing may cross the platform's dispatch.
      try {
        if (self->handle(message, wparam)) return 0;
      } catch (...) {
        if (!self->pending_) self->pending_ = std::current_exception();
        return 0;
      }
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }

  bool handle(UINT message, WPARAM wparam) {
    if (message == WM_CLOSE) {
      close();
      return true;
    }
    if (message != WM_COMMAND || HIWORD(wparam) != BN_CLICKED) return false;
    switch (LOWORD(wparam)) {
    case id_apply:
      instance_->apply_changes();
      refresh();
      return true;
    case id_reset:
      instance_->reset_to_defaults();
      refresh();
      return true;
    case id_close:
      close();
      return true;
    default:
      return false;
    }
  }

  void rethrow_pending() {
    if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
  }

  preferences_page_v3& page_;
  host_ref<preferences_page_instance> instance_;
  owned_window frame_;
  HWND page_window_ = nullptr;
  HWND pages_ = nullptr, help_ = nullptr, reset_ = nullptr, apply_ = nullptr, close_ = nullptr;
  std::exception_ptr pending_;
};

// The component's first page that speaks the third revision.
host_ref<preferences_page_v3> find_page(loaded_component& component) {
  for (auto& service : component.services(preferences_page_class_guid)) {
    host_ref<service_base> answer;
    if (service->query_class(answer.receive(), preferences_page_v3_class_guid))
      return host_ref<preferences_page_v3>::adopt(static_cast<preferences_page_v3*>(answer.detach()));
  }
  return {};
}

} // namespace

int run_prefs(host_session& session, const std::vector<std::wstring>& args) {
  auto version = make_host_service<host_version_info_standin>();
  session.registry.add(host_version_info_class_guid, version.get());
  auto page = find_page(session.component);
  if (!page) {
    std::fprintf(stderr, "corvane-host: the component has no preferences page\n");
    return 1;
  }
  prefs_frame frame(*page.get());
  auto listener = make_host_service<prefs_listener>([&frame] { frame.refresh(); });
  try {
    frame.open(listener.get());
  } catch (const frame_unavailable& e) {
    std::fprintf(stderr,
                 "corvane-host: cannot open the preferences window (%s); it needs a display: a desktop, or "
                 "xvfb-run under Wine\n",
                 e.what());
    session.registry.remove_all(host_version_info_class_guid);
    return 2;
  }
  for (const std::wstring& action : args) {
    if (!frame.is_open()) break;
    if (!frame.act(action)) {
      std::fprintf(stderr, "corvane-host: unknown prefs action '%s'\n", to_utf8(action).c_str());
      frame.close();
      return 2;
    }
  }
  if (frame.is_open()) frame.pump(INFINITE);
  frame.close();
  std::printf("page notifications: %d\n", listener->notifications);
  session.registry.remove_all(host_version_info_class_guid);
  return 0;
}
