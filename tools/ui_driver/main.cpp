// vandrel-ui: runs vandrel.exe and works its windows as a person at the screen would, through
// window messages only. Used by scripts/run where there is no screen to look at.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "res/resource.h"
#include "ui_driver/running_program.h"
#include "ui_driver/ui_driver.h"

namespace {

const char kUsage[] =
    "Usage: vandrel-ui flow [--screenshots FOLDER]\n"
    "       vandrel-ui record-url FILE ADDRESS\n"
    "\n"
    "flow        starts vandrel.exe beside this program and takes it through a whole run: OK in\n"
    "            the main window, waits for the scan, OK, OK in the thank-you window. Prints what\n"
    "            the windows show, the ScanLog last of the scanning window. A restart offer is\n"
    "            declined. With --screenshots, saves a PNG picture of each window there.\n"
    "record-url  appends ADDRESS as a line to FILE: a stand-in for the web browser.\n"
    "\n"
    "Exit status: 0 when the run went through, 1 when a window did not come or go in time,\n"
    "2 on wrong usage.\n";

const char kCaption[] = "Vandrel Ver 4.0";
constexpr unsigned kWindowTimeoutMs = 60000;
constexpr unsigned kScanTimeoutMs = 30 * 60 * 1000;
// How often the wait for the scan's end looks for a message box over it (a restart offer).
constexpr unsigned kMessageBoxLookMs = 250;

int fail(const char* what) {
  std::fprintf(stderr, "vandrel-ui: %s\n", what);
  return 1;
}

class Flow {
 public:
  Flow(DWORD processId, std::string screenshots)
      : processId_(processId), screenshots_(std::move(screenshots)) {}

  HWND waitFor(int controlId) {
    return uidriver::waitForWindow({kCaption, processId_, controlId}, kWindowTimeoutMs);
  }

  void screenshot(HWND window, const char* name) {
    if (screenshots_.empty()) return;
    std::string path = screenshots_ + "\\" + name + ".png";
    if (uidriver::saveScreenshot(window, path)) {
      std::printf("   screenshot %s\n", path.c_str());
    } else {
      std::fprintf(stderr, "vandrel-ui: could not save %s\n", path.c_str());
    }
  }

  // Waits for the scan to end, declining every restart the program offers meanwhile; false
  // when it did not end in time or the program ended during it (as after a worm found in
  // memory on the NT family). The driver shares the machine and Wine's server with the scan it
  // times: the OK button, a cheap look, is looked at every poll, but the search of every window
  // for a message box only every kMessageBoxLookMs, or the driver's own polling would take as
  // much of the server as the scan.
  bool waitForScanEnd(HWND scanning, uidriver::RunningProgram& program) {
    ULONGLONG nextMessageBoxLook = 0;
    return uidriver::waitUntil(
               [&] {
                 if (GetTickCount64() >= nextMessageBoxLook) {
                   declineRestart();
                   nextMessageBoxLook = GetTickCount64() + kMessageBoxLookMs;
                 }
                 return uidriver::controlVisible(scanning, IDC_SCAN_OK) || !program.running();
               },
               kScanTimeoutMs) &&
           program.running();
  }

  void declineRestart() {
    HWND box = uidriver::findWindow({kCaption, processId_, uidriver::kMessageBoxTextId});
    if (box == nullptr) return;
    std::printf("== message box: %s\n", uidriver::messageBoxText(box).c_str());
    screenshot(box, "restart-offer");
    // Yes/No, OK/Cancel: the answer that does not restart the computer.
    for (int answer : {IDNO, IDCANCEL}) {
      if (uidriver::answerMessageBox(box, answer)) {
        std::printf("   answered %s\n", answer == IDNO ? "No" : "Cancel");
        break;
      }
    }
    uidriver::waitUntil([&] { return !IsWindow(box); }, kWindowTimeoutMs);
  }

 private:
  DWORD processId_;
  std::string screenshots_;
};

int runFlow(const std::string& screenshots) {
  uidriver::RunningProgram program(uidriver::ownFolder() + "\\vandrel.exe");
  if (!program.started()) return fail("cannot start vandrel.exe");
  Flow flow(program.processId(), screenshots);

  HWND main = flow.waitFor(IDC_QUESTION);
  if (main == nullptr) return fail("the main window did not come");
  std::printf("== main window\n   %s\n   %s\n", uidriver::controlText(main, IDC_TITLE_LINE).c_str(),
              uidriver::controlText(main, IDC_QUESTION).c_str());
  flow.screenshot(main, "main");
  ULONGLONG scanStarted = GetTickCount64();
  if (!uidriver::clickButton(main, IDOK)) return fail("cannot click OK in the main window");

  HWND scanning = flow.waitFor(IDC_SCAN_LOG);
  if (scanning == nullptr) return fail("the scanning window did not come");
  std::printf("== scanning window\n   %s\n",
              uidriver::controlText(scanning, IDC_TITLE_LINE).c_str());
  std::fflush(stdout);
  if (!flow.waitForScanEnd(scanning, program)) {
    if (program.running()) return fail("the scan did not end");
    std::printf("== vandrel.exe ended during the scan with exit code %d\n", program.exitCode());
    return 0;
  }
  // From OK in the main window to OK in the scanning window: what a person waits for.
  std::printf("== the scan took %llu ms\n",
              static_cast<unsigned long long>(GetTickCount64() - scanStarted));
  flow.screenshot(scanning, "scanning");
  std::printf("== ScanLog\n");
  for (const std::string& line : uidriver::listBoxLines(scanning, IDC_SCAN_LOG)) {
    std::printf("%s\n", line.c_str());
  }
  std::printf("== status line: %s\n", uidriver::controlText(scanning, IDC_SCAN_STATUS).c_str());
  if (!uidriver::clickButton(scanning, IDC_SCAN_OK)) return fail("cannot click OK after the scan");

  HWND thanks = flow.waitFor(IDC_HOME_LINK);
  if (thanks == nullptr) return fail("the thank-you window did not come");
  std::printf("== thank-you window\n   %s\n",
              uidriver::controlText(thanks, IDC_TITLE_LINE).c_str());
  flow.screenshot(thanks, "thanks");
  if (!uidriver::clickButton(thanks, IDOK)) return fail("cannot click OK in the thank-you window");

  if (!program.waitForExit(kWindowTimeoutMs)) return fail("vandrel.exe did not end");
  std::printf("== vandrel.exe ended with exit code %d\n", program.exitCode());
  return 0;
}

int recordUrl(const char* file, const char* address) {
  std::FILE* out = std::fopen(file, "a");
  if (out == nullptr) return 1;
  std::fprintf(out, "%s\n", address);
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "flow") == 0) {
    if (argc == 2) return runFlow("");
    if (argc == 4 && std::strcmp(argv[2], "--screenshots") == 0) {
      CreateDirectoryA(argv[3], nullptr);
      return runFlow(argv[3]);
    }
  }
  if (argc == 4 && std::strcmp(argv[1], "record-url") == 0) return recordUrl(argv[2], argv[3]);
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
