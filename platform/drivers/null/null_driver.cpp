// The headless ("null") driver: windows have state but no pixels.
//
// It keeps what stands in for a person (scripts.h): answers for message
// boxes from the test's script, then from VELLUMTIDE_ANSWERS (for
// process-level tests), and choices for popup menus; and it records what
// was shown for the test API. Injected input
// goes through an input thread of its own, as a real desktop's input
// arrives, so global hooks run on a thread of the platform, never on the
// test's.
#include "platform/drivers/null/null_driver.h"

#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/drivers/null/us_keyboard_layout.h"
#include "platform/internal/no_destroy.h"
#include "platform/internal/scripts.h"
#include "platform/internal/text.h"

namespace vt::null_driver {

namespace {

struct State {
  std::mutex mutex;
  std::vector<testing::MessageBoxRecord> boxes;
  std::deque<int> scripted;
  bool environmentRead = false;
  std::deque<int> environment;
  std::vector<testing::PopupRecord> popups;
  std::deque<UINT> popupScript;
  SIZE screen{1024, 768};
  POINT cursor{0, 0};
  std::vector<TrayChange> trayChanges;
  std::string clipboard;
  std::string primary;
  // The clock stamped on injected input: every batch a second after the
  // last, so that two separate clicks never make a double click however
  // fast a test runs, and the two of a DoubleClick always do.
  DWORD inputClock = 0;
};

State& D() {
  static platform::NoDestroy<State> state;
  return state.get();
}

int AnswerWord(const std::string& word) {
  static const struct {
    const char* name;
    int answer;
  } words[] = {{"ok", IDOK},        {"cancel", IDCANCEL}, {"yes", IDYES},
               {"no", IDNO},        {"abort", IDABORT},   {"retry", IDRETRY},
               {"ignore", IDIGNORE}};
  for (auto& w : words) {
    if (word == w.name) return w.answer;
  }
  return 0;
}

// VELLUMTIDE_ANSWERS="yes,ok,..." answers a process's boxes in order.
void ReadEnvironment(State& s) {
  if (s.environmentRead) return;
  s.environmentRead = true;
  const char* text = std::getenv("VELLUMTIDE_ANSWERS");
  if (!text) return;
  std::string word;
  for (const char* p = text;; ++p) {
    if (*p == ',' || *p == '\0') {
      std::size_t b = word.find_first_not_of(" \t");
      std::size_t e = word.find_last_not_of(" \t");
      std::string trimmed =
          b == std::string::npos ? std::string() : word.substr(b, e - b + 1);
      if (int answer = AnswerWord(trimmed)) {
        s.environment.push_back(answer);
      } else if (!trimmed.empty()) {
        std::fprintf(stderr,
                     "Vellumtide: VELLUMTIDE_ANSWERS: \"%s\" is not one of "
                     "ok, cancel, yes, no, abort, retry, ignore; ignored\n",
                     trimmed.c_str());
      }
      word.clear();
      if (*p == '\0') break;
    } else {
      word += platform::LowerAscii(*p);
    }
  }
}

void RecordTray(TrayChange::Kind kind, const platform::TrayIconState& icon) {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.trayChanges.push_back(TrayChange{kind, icon});
}

// --- the input thread ------------------------------------------------------

struct Job {
  std::vector<platform::InputEvent> events;
  std::function<void()> delivered;
};

struct InputThread {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::shared_ptr<Job>> jobs;
  bool started = false;
};

InputThread& Input() {
  static platform::NoDestroy<InputThread> input;
  return input.get();
}

void InputLoop() {
  auto& input = Input();
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> lock(input.mutex);
      input.cv.wait(lock, [&] { return !input.jobs.empty(); });
      job = std::move(input.jobs.front());
      input.jobs.pop_front();
    }
    for (auto& event : job->events) platform::DeliverInput(event);
    job->delivered();
  }
}

}  // namespace

void ScriptMessageBoxAnswers(std::vector<int> answers) {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.scripted.assign(answers.begin(), answers.end());
}

std::vector<testing::MessageBoxRecord> MessageBoxes() {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.boxes;
}

std::size_t MessageBoxCount() {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.boxes.size();
}

void ScriptPopupChoice(UINT command) {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.popupScript.push_back(command);
}

std::string ClipboardText(bool primarySelection) {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  return primarySelection ? s.primary : s.clipboard;
}

std::vector<testing::PopupRecord> Popups() {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.popups;
}

void SetScreenSize(int width, int height) {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.screen = SIZE{width, height};
}

void Reset() {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.boxes.clear();
  s.scripted.clear();
  s.popups.clear();
  s.clipboard.clear();
  s.primary.clear();
  s.popupScript.clear();
  s.screen = SIZE{1024, 768};
  s.cursor = POINT{0, 0};
  s.trayChanges.clear();
}

std::vector<TrayChange> TrayChanges() {
  auto& s = D();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.trayChanges;
}

void Inject(std::vector<platform::InputEvent> events,
            std::function<void()> delivered) {
  platform::TheDriver();
  DWORD stamp;
  {
    auto& s = D();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.inputClock += 1000;
    stamp = s.inputClock;
  }
  for (auto& event : events) {
    // The layout's characters come with the key, as a desktop reports them.
    if (event.kind == platform::InputKind::Key && !event.keyUp &&
        event.characters.text.empty()) {
      event.characters = UsLayoutCharacters(event.virtualKey, event.modifiers);
    }
    if (!event.time) event.time = stamp;
  }
  auto job = std::make_shared<Job>();
  job->events = std::move(events);
  job->delivered = std::move(delivered);
  {
    auto& input = Input();
    std::lock_guard<std::mutex> lock(input.mutex);
    input.jobs.push_back(job);
    if (!input.started) {
      input.started = true;
      // The thread lives as long as the process, as a desktop's input does.
      std::thread(InputLoop).detach();
    }
    input.cv.notify_one();
  }
}

}  // namespace vt::null_driver

namespace vt::platform {

int NextScriptedMessageBoxAnswer() {
  auto& s = null_driver::D();
  std::lock_guard<std::mutex> lock(s.mutex);
  null_driver::ReadEnvironment(s);
  int answer = 0;
  if (!s.scripted.empty()) {
    answer = s.scripted.front();
    s.scripted.pop_front();
  } else if (!s.environment.empty()) {
    answer = s.environment.front();
    s.environment.pop_front();
  }
  return answer;
}

void RecordMessageBox(const ShownMessageBox& box) {
  auto& s = null_driver::D();
  std::lock_guard<std::mutex> lock(s.mutex);
  testing::MessageBoxRecord record;
  record.text = box.text;
  record.caption = box.caption;
  record.type = box.type;
  record.owner = box.owner;
  record.answer = box.answer;
  record.threadId = box.threadId;
  record.ownerWasDisabled = box.ownerWasDisabled;
  s.boxes.push_back(std::move(record));
}

bool NextScriptedPopupChoice(UINT* command) {
  auto& s = null_driver::D();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.popupScript.empty()) return false;
  *command = s.popupScript.front();
  s.popupScript.pop_front();
  return true;
}

void RecordPopup(const ShownPopup& popup) {
  auto& s = null_driver::D();
  std::lock_guard<std::mutex> lock(s.mutex);
  testing::PopupRecord record;
  record.menu = popup.menu;
  record.flags = popup.flags;
  record.x = popup.x;
  record.y = popup.y;
  record.owner = popup.owner;
  record.foregroundAtOpen = popup.foregroundAtOpen;
  for (const auto& item : popup.items) {
    testing::MenuItemRecord r;
    r.id = item.id;
    r.text = item.text;
    r.separator = item.separator;
    r.checked = item.checked;
    r.grayed = item.grayed;
    record.items.push_back(std::move(r));
  }
  s.popups.push_back(std::move(record));
}

void InstallNullDriver(Driver& driver) {
  driver.name = "null";
  driver.setClipboardText = [](std::string_view text, bool primary) {
    auto& s = null_driver::D();
    std::lock_guard<std::mutex> lock(s.mutex);
    (primary ? s.primary : s.clipboard).assign(text);
  };
  driver.keyCharacters = [](UINT virtualKey, UINT, unsigned modifiers) {
    return null_driver::UsLayoutCharacters(virtualKey, modifiers);
  };
  driver.trayIconAdded = [](const TrayIconState& icon) {
    null_driver::RecordTray(null_driver::TrayChange::Added, icon);
  };
  driver.trayIconModified = [](const TrayIconState& icon) {
    null_driver::RecordTray(null_driver::TrayChange::Modified, icon);
  };
  driver.trayIconDeleted = [](HWND owner, UINT id) {
    TrayIconState gone;
    gone.owner = owner;
    gone.id = id;
    null_driver::RecordTray(null_driver::TrayChange::Deleted, gone);
  };
  driver.screenSize = [] {
    auto& s = null_driver::D();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.screen;
  };
  driver.cursorPosition = [] {
    auto& s = null_driver::D();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.cursor;
  };
  driver.setCursorPosition = [](int x, int y) {
    auto& s = null_driver::D();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.cursor = POINT{x, y};
  };
}

}  // namespace vt::platform
