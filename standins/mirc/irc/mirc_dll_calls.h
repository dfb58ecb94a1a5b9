// mIRC's DLL calls as a line sees them: `$dll(file, proc, data)` and `$null`
// evaluated once in a line that starts with "//", and the command
// `/dll file proc data` or `/dll -u file`. The loading and calling is the
// platform's (mirc_dlls_win32); what a line makes of it is portable.
#pragma once
#include <string>

// What a procedure returned: 0 halt the script, 1 go on, 2 data is a command
// for mIRC, 3 data is the value of $dll(...); -1 when no call was made (the
// file or the procedure could not be had), with data saying why.
struct dll_reply {
  int code = -1;
  std::string data;
};

class mirc_dlls {
public:
  // file: as the line names it, a name without a folder meaning beside mIRC.
  virtual dll_reply call(const std::string& file, const std::string& proc, const std::string& data) = 0;
  // True when the file was loaded (and is no longer).
  virtual bool unload(const std::string& file) = 0;

protected:
  ~mirc_dlls() = default;
};

// The line after its "//", with each $dll(...) and $null replaced by its
// value; the values are text and are never looked at again. False, with
// complaint set, when the line must not run: an identifier or variable the
// stand-in does not model, a parenthesis left open, a $dll that failed or
// halted.
bool evaluate_line(const std::string& line, mirc_dlls& dlls, std::string& out, std::string& complaint);
