#include "Commands.h"

#include <optional>
#include <span>
#include <string_view>
#include <windows.h>

#include "Input.h"
#include "Json.h"
#include "Menu.h"
#include "MessageBoxes.h"
#include "Process.h"
#include "Text.h"
#include "WindowQuery.h"

namespace uidriver {

namespace {

using Args = std::span<const std::string>;

constexpr DWORD kPollMs = 50;

JsonObject Ok() { return JsonObject().Bool("ok", true); }
JsonObject Fail(std::string_view error) { return JsonObject().Bool("ok", false).String("error", error); }

std::optional<HWND> WindowArg(const std::string& text) {
  const auto value = ParseUnsigned(text);
  if (!value || !IsWindow(HwndFromNumber(*value))) return std::nullopt;
  return HwndFromNumber(*value);
}

std::optional<DWORD> DwordArg(const std::string& text) {
  const auto value = ParseUnsigned(text);
  if (!value || *value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<DWORD>(*value);
}

JsonObject NotAWindow(const std::string& text) { return Fail("not a window: " + text); }

// Calls probe every kPollMs until it returns true or timeoutMs have passed; true if it succeeded.
template <typename Probe>
bool PollUntil(DWORD timeoutMs, Probe probe) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (probe()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kPollMs);
  }
}

std::vector<HWND> MatchingWindows(const std::string& cls, const std::string& title, DWORD pid) {
  const std::wstring wideClass = FromUtf8(cls);
  const std::wstring wideTitle = FromUtf8(title);
  std::vector<HWND> found;
  for (HWND hwnd : TopLevelWindows(true)) {
    if (Matches(hwnd, wideClass, wideTitle, pid)) found.push_back(hwnd);
  }
  return found;
}

JsonObject WindowsJson(const std::vector<HWND>& windows) {
  JsonArray list;
  for (HWND hwnd : windows) list.Add(Summary(hwnd));
  JsonObject reply = Ok();
  reply.Int("hwnd", windows.empty() ? 0 : static_cast<std::int64_t>(HwndNumber(windows.front())))
      .Int("pid", windows.empty() ? 0 : WindowPid(windows.front()))
      .Raw("windows", list.Str());
  return reply;
}

// find-window <class|*> <title|*> [pid]: visible top-level windows; hwnd 0 when there is none.
JsonObject FindWindowCommand(Args args) {
  DWORD pid = 0;
  if (args.size() > 2) {
    const auto value = DwordArg(args[2]);
    if (!value) return Fail("bad pid: " + args[2]);
    pid = *value;
  }
  return WindowsJson(MatchingWindows(args[0], args[1], pid));
}

// wait-window <class|*> <title|*> <timeout_ms> [pid]
JsonObject WaitWindowCommand(Args args) {
  const auto timeout = DwordArg(args[2]);
  if (!timeout) return Fail("bad timeout: " + args[2]);
  DWORD pid = 0;
  if (args.size() > 3) {
    const auto value = DwordArg(args[3]);
    if (!value) return Fail("bad pid: " + args[3]);
    pid = *value;
  }
  std::vector<HWND> found;
  if (!PollUntil(*timeout, [&] { return !(found = MatchingWindows(args[0], args[1], pid)).empty(); })) {
    return Fail("timeout waiting for window " + args[0] + " \"" + args[1] + "\"");
  }
  return WindowsJson(found);
}

// wait-gone <hwnd> <timeout_ms>: until the window is destroyed or hidden.
JsonObject WaitGoneCommand(Args args) {
  const auto value = ParseUnsigned(args[0]);
  const auto timeout = DwordArg(args[1]);
  if (!value || !timeout) return Fail("usage: wait-gone <hwnd> <timeout_ms>");
  const HWND hwnd = HwndFromNumber(*value);
  if (!PollUntil(*timeout, [&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); })) {
    return Fail("timeout: window still shown");
  }
  return Ok().Bool("exists", IsWindow(hwnd) != FALSE);
}

// list-windows [all]: visible top-level windows (every one with "all").
JsonObject ListWindowsCommand(Args args) {
  const bool all = !args.empty() && args[0] == "all";
  JsonArray list;
  for (HWND hwnd : TopLevelWindows(!all)) list.Add(Summary(hwnd));
  return Ok().Raw("windows", list.Str());
}

// children <hwnd>: every descendant control.
JsonObject ChildrenCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  JsonArray list;
  for (HWND child : Descendants(*hwnd)) list.Add(ControlJson(child));
  return Ok().Raw("children", list.Str());
}

// text <hwnd>
JsonObject TextCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const auto text = WindowText(*hwnd);
  if (!text) return Fail("the window did not answer WM_GETTEXT");
  return Ok().String("text", *text);
}

// window-info <hwnd>
JsonObject WindowInfoCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  return Ok().Raw("info", Details(*hwnd).Str());
}

// A click as a user makes it: refused for hidden or disabled buttons. Posted, so a click that opens a modal
// box does not hold up the driver.
JsonObject ClickWindow(HWND hwnd) {
  if (!IsWindowVisible(hwnd)) return Fail("the control is hidden");
  if (!IsWindowEnabled(hwnd)) return Fail("the control is disabled");
  if (!PostMessageW(hwnd, BM_CLICK, 0, 0)) return Fail("PostMessage failed");
  return Ok().Int("hwnd", static_cast<std::int64_t>(HwndNumber(hwnd)));
}

// click <hwnd>
JsonObject ClickCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  return ClickWindow(*hwnd);
}

// click-id <dialog hwnd> <control id>
JsonObject ClickIdCommand(Args args) {
  const auto dialog = WindowArg(args[0]);
  if (!dialog) return NotAWindow(args[0]);
  const auto id = ParseSigned(args[1]);
  if (!id) return Fail("bad control id: " + args[1]);
  const HWND control = FindControl(*dialog, static_cast<int>(*id));
  if (!control) return Fail("no control with id " + args[1]);
  return ClickWindow(control);
}

// combo-items <hwnd>
JsonObject ComboItemsCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(*hwnd, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count) ||
      static_cast<LRESULT>(count) == CB_ERR) {
    return Fail("CB_GETCOUNT failed");
  }
  JsonArray items;
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(*hwnd, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
    if (static_cast<LRESULT>(length) == CB_ERR) length = 0;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(*hwnd, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &copied);
    text.resize(static_cast<LRESULT>(copied) == CB_ERR ? 0 : std::min<size_t>(copied, length));
    items.String(text);
  }
  DWORD_PTR selected = 0;
  SendMessageTimeoutW(*hwnd, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &selected);
  return Ok().Raw("items", items.Str()).Int("selected", static_cast<LRESULT>(selected));
}

// combo-select <hwnd> <index>: selects the item and tells the parent, as a user's choice would.
JsonObject ComboSelectCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const auto index = ParseSigned(args[1]);
  if (!index) return Fail("bad index: " + args[1]);
  if (!IsWindowEnabled(*hwnd)) return Fail("the control is disabled");
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(*hwnd, CB_SETCURSEL, static_cast<WPARAM>(*index), 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &result) ||
      (static_cast<LRESULT>(result) == CB_ERR && *index != -1)) {
    return Fail("CB_SETCURSEL failed");
  }
  const int id = GetDlgCtrlID(*hwnd);
  PostMessageW(GetParent(*hwnd), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(*hwnd));
  return Ok().Int("selected", static_cast<LRESULT>(result));
}

std::optional<WPARAM> SysCommandArg(const std::string& text) {
  if (text == "close") return SC_CLOSE;
  if (text == "minimize") return SC_MINIMIZE;
  if (text == "maximize") return SC_MAXIMIZE;
  if (text == "restore") return SC_RESTORE;
  const auto value = DwordArg(text);
  if (!value) return std::nullopt;
  return *value;
}

// syscommand <hwnd> <command>: a number (0x0010, 0xF060) or close, minimize, maximize, restore.
JsonObject SysCommandCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const auto command = SysCommandArg(args[1]);
  if (!command) return Fail("bad command: " + args[1]);
  if (!PostMessageW(*hwnd, WM_SYSCOMMAND, *command, 0)) return Fail("PostMessage failed");
  return Ok();
}

// close <hwnd>
JsonObject CloseCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  if (!PostMessageW(*hwnd, WM_CLOSE, 0, 0)) return Fail("PostMessage failed");
  return Ok();
}

// system-menu <hwnd>
JsonObject SystemMenuCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  std::string error;
  const auto items = SystemMenuItems(*hwnd, error);
  if (!items) return Fail(error);
  return Ok().Raw("items", items->Str());
}

// key <hwnd> <vk>: posted to the focused control inside hwnd.
JsonObject KeyCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const auto vk = DwordArg(args[1]);
  if (!vk || *vk > 0xFF) return Fail("bad virtual key: " + args[1]);
  const HWND target = PostKey(*hwnd, *vk);
  return Ok().Int("target", static_cast<std::int64_t>(HwndNumber(target)));
}

// type-key <hwnd> <vk>: foreground window plus SendInput.
JsonObject TypeKeyCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const auto vk = DwordArg(args[1]);
  if (!vk || *vk > 0xFF) return Fail("bad virtual key: " + args[1]);
  if (!TypeKey(*hwnd, *vk)) return Fail("SendInput failed (error " + std::to_string(GetLastError()) + ")");
  return Ok();
}

// mouse-click <hwnd> [clicks]: real left-button clicks on the centre of the control (2: a double click).
JsonObject MouseClickCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const auto clicks = args.size() > 1 ? DwordArg(args[1]) : std::optional<DWORD>(1);
  if (!clicks || *clicks < 1 || *clicks > 3) return Fail("bad click count: " + args.back());
  if (!IsWindowVisible(*hwnd)) return Fail("the control is hidden");
  if (!MouseClick(*hwnd, static_cast<int>(*clicks))) {
    return Fail("SendInput failed (error " + std::to_string(GetLastError()) + ")");
  }
  return Ok();
}

// message-box [pid] <timeout_ms>
JsonObject MessageBoxCommand(Args args) {
  DWORD pid = 0;
  if (args.size() > 1) {
    const auto value = DwordArg(args[0]);
    if (!value) return Fail("bad pid: " + args[0]);
    pid = *value;
  }
  const auto timeout = DwordArg(args.back());
  if (!timeout) return Fail("bad timeout: " + args.back());
  HWND box = nullptr;
  if (!PollUntil(*timeout, [&] { return (box = FindMessageBox(pid)) != nullptr; })) {
    return Fail("timeout: no message box");
  }
  JsonObject reply = Ok();
  reply.Raw("box", DescribeMessageBox(box).Str());
  return reply;
}

// answer-box <hwnd> <button id>: clicks that button of the box.
JsonObject AnswerBoxCommand(Args args) {
  const auto box = WindowArg(args[0]);
  if (!box) return NotAWindow(args[0]);
  const auto id = DwordArg(args[1]);
  if (!id) return Fail("bad button id: " + args[1]);
  const HWND button = FindControl(*box, static_cast<int>(*id));
  if (!button || ClassName(button) != L"Button") return Fail("the box has no button " + args[1]);
  return ClickWindow(button);
}

JsonObject StatusJson(const ProcessStatus& status) {
  JsonObject reply = Ok();
  reply.Bool("alive", status.state == ProcessState::Running).Bool("exited", status.state == ProcessState::Exited);
  if (status.exitCode) reply.Int("exit_code", *status.exitCode);
  return reply;
}

// pid-alive <pid>
JsonObject PidAliveCommand(Args args) {
  const auto pid = DwordArg(args[0]);
  if (!pid) return Fail("bad pid: " + args[0]);
  const ProcessStatus status = WaitProcess(*pid, 0);
  if (status.state == ProcessState::Unknown) return Fail("cannot open process " + args[0]);
  return StatusJson(status);
}

// wait-exit <pid> <timeout_ms>
JsonObject WaitExitCommand(Args args) {
  const auto pid = DwordArg(args[0]);
  const auto timeout = DwordArg(args[1]);
  if (!pid || !timeout) return Fail("usage: wait-exit <pid> <timeout_ms>");
  const ProcessStatus status = WaitProcess(*pid, *timeout);
  if (status.state == ProcessState::Unknown) return Fail("cannot open process " + args[0]);
  return StatusJson(status);
}

// terminate <pid> [exit code]
JsonObject TerminateCommand(Args args) {
  const auto pid = DwordArg(args[0]);
  if (!pid) return Fail("bad pid: " + args[0]);
  DWORD code = 1;
  if (args.size() > 1) {
    const auto value = DwordArg(args[1]);
    if (!value) return Fail("bad exit code: " + args[1]);
    code = *value;
  }
  if (!TerminateProcessById(*pid, code)) return Fail("TerminateProcess failed (error " + std::to_string(GetLastError()) + ")");
  return Ok();
}

// processes [exe name]: the prefix's processes, optionally only those of one executable (case-insensitive).
JsonObject ProcessesCommand(Args args) {
  const std::wstring filter = args.empty() ? L"" : FromUtf8(args[0]);
  JsonArray list;
  for (const ProcessEntry& entry : Processes()) {
    if (!filter.empty() && lstrcmpiW(entry.exe.c_str(), filter.c_str()) != 0) continue;
    list.Add(JsonObject().Int("pid", entry.pid).Int("parent", entry.parentPid).String("exe", entry.exe));
  }
  return Ok().Raw("processes", list.Str());
}

// focus <hwnd>: the control that has the keyboard focus in hwnd's thread (0 when it is none, or not inside hwnd).
JsonObject FocusCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const HWND focus = FocusedWindow(*hwnd);
  return Ok()
      .Int("focus", static_cast<std::int64_t>(HwndNumber(focus)))
      .Int("id", focus ? GetDlgCtrlID(focus) & 0xFFFF : 0);
}

// foreground <hwnd>
JsonObject ForegroundCommand(Args args) {
  const auto hwnd = WindowArg(args[0]);
  if (!hwnd) return NotAWindow(args[0]);
  const bool done = SetForegroundWindow(*hwnd) != FALSE;
  return Ok().Bool("done", done).Int("foreground", static_cast<std::int64_t>(HwndNumber(GetForegroundWindow())));
}

JsonObject HelpCommand(Args);

struct Command {
  std::string_view name;
  size_t minArgs;
  size_t maxArgs;
  std::string_view usage;
  JsonObject (*run)(Args);
};

constexpr Command kCommands[] = {
    {"find-window", 2, 3, "find-window <class|*> <title|*> [pid]", FindWindowCommand},
    {"wait-window", 3, 4, "wait-window <class|*> <title|*> <timeout_ms> [pid]", WaitWindowCommand},
    {"wait-gone", 2, 2, "wait-gone <hwnd> <timeout_ms>", WaitGoneCommand},
    {"list-windows", 0, 1, "list-windows [all]", ListWindowsCommand},
    {"children", 1, 1, "children <hwnd>", ChildrenCommand},
    {"text", 1, 1, "text <hwnd>", TextCommand},
    {"window-info", 1, 1, "window-info <hwnd>", WindowInfoCommand},
    {"click", 1, 1, "click <hwnd>", ClickCommand},
    {"click-id", 2, 2, "click-id <dialog hwnd> <control id>", ClickIdCommand},
    {"combo-items", 1, 1, "combo-items <hwnd>", ComboItemsCommand},
    {"combo-select", 2, 2, "combo-select <hwnd> <index>", ComboSelectCommand},
    {"syscommand", 2, 2, "syscommand <hwnd> <number|close|minimize|maximize|restore>", SysCommandCommand},
    {"close", 1, 1, "close <hwnd>", CloseCommand},
    {"system-menu", 1, 1, "system-menu <hwnd>", SystemMenuCommand},
    {"key", 2, 2, "key <hwnd> <vk>", KeyCommand},
    {"type-key", 2, 2, "type-key <hwnd> <vk>", TypeKeyCommand},
    {"mouse-click", 1, 2, "mouse-click <hwnd> [clicks]", MouseClickCommand},
    {"focus", 1, 1, "focus <hwnd>", FocusCommand},
    {"foreground", 1, 1, "foreground <hwnd>", ForegroundCommand},
    {"message-box", 1, 2, "message-box [pid] <timeout_ms>", MessageBoxCommand},
    {"answer-box", 2, 2, "answer-box <hwnd> <button id>", AnswerBoxCommand},
    {"pid-alive", 1, 1, "pid-alive <pid>", PidAliveCommand},
    {"wait-exit", 2, 2, "wait-exit <pid> <timeout_ms>", WaitExitCommand},
    {"terminate", 1, 2, "terminate <pid> [exit code]", TerminateCommand},
    {"processes", 0, 1, "processes [exe name]", ProcessesCommand},
    {"help", 0, 0, "help", HelpCommand},
};

JsonObject HelpCommand(Args) {
  JsonArray usages;
  for (const Command& command : kCommands) usages.Raw(JsonQuote(command.usage));
  usages.Raw(JsonQuote("quit"));
  return Ok().Raw("commands", usages.Str());
}

}  // namespace

Outcome Execute(const std::vector<std::string>& words) {
  if (words.empty()) return {Fail("empty command").Str()};
  const std::string& name = words.front();
  if (name == "quit") return {Ok().Str(), true};
  const Args args(words.data() + 1, words.size() - 1);
  for (const Command& command : kCommands) {
    if (command.name != name) continue;
    if (args.size() < command.minArgs || args.size() > command.maxArgs) {
      return {Fail("usage: " + std::string(command.usage)).Str()};
    }
    return {command.run(args).Str()};
  }
  return {Fail("unknown command: " + name).Str()};
}

}  // namespace uidriver
