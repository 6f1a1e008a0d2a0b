#include "app/CWelvaneApp.h"

#include <objbase.h>

#include "app/CWelvaneDlg.h"
#include "backend/ConfigurationManager.h"
#include "backend/Identity.h"
#include "backend/RunLog.h"
#include "packages/EventThreads.h"
#include "win/CommonControlsApi.h"
#include "win/MessageBox.h"
#include "win/Text.h"

namespace {

// Two attempts of one event with the pause between them, and some room.
constexpr std::chrono::milliseconds kEventThreadsLimit{15000};

bool g_runLogOpen = false;

// The run's log begins with what this wizard is and where it runs. Its file is made later
// (OpenRunLog); until then the lines wait in memory.
void StartRunLog() {
  runlog::KeepUntilOpen();
  const std::string flavour = kBuildWizardType;
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const auto config = ConfigurationManager::GetInstance();
  runlog::Write("Welvane " + win::ToUtf8(config->m_programVersion) + ", " + flavour + ", " +
                (sizeof(void*) == 4 ? "32-bit" : "64-bit") + ", started as " + win::ToUtf8(exe) + " on " +
                GetOsVersion());
  runlog::Write(L"Temporary folder: " + config->m_tempFolder);
}

}  // namespace

void OpenRunLog() {
  if (g_runLogOpen) return;
  g_runLogOpen = true;
  std::wstring flavour = win::Widen(kBuildWizardType, CP_ACP);
  for (wchar_t& c : flavour) c = static_cast<wchar_t>(towlower(c));
  runlog::Open(flavour);
}

BOOL CWelvaneApp::InitInstance() {
  // Without the common controls no page can be made.
  const win::CommonControlsApi& commonControls = win::CommonControls();
  if (!commonControls.library.Ready()) {
    win::ShowMessageBox(nullptr, L"This setup cannot start: " + commonControls.library.Problem() + L".", L"Error",
                        MB_OK | MB_ICONERROR);
    ExitProcess(1);
  }
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES;
  commonControls.InitCommonControlsEx(&controls);
  // The offer page's consent text is a SysLink, which is not among the classes above.
  controls.dwICC = ICC_LINK_CLASS;
  commonControls.InitCommonControlsEx(&controls);
  // Shell calls (ShellExecute, known folders) expect COM on the UI thread.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  StartRunLog();
  {
    CWelvaneDlg dialog;
    dialog.DoModal(nullptr);
  }
  // After Finish or an error page's Close, analytics events may still be on their way; they end
  // first (bounded). A close has already given its events their time.
  if (!ConfigurationManager::GetInstance()->m_closing) WaitForEventThreads(kEventThreadsLimit);
  EndTheRun();
}

void EndTheRun() {
  OpenRunLog();
  runlog::Write("The run ended");
  // The process ends here, with whatever thread the network still holds: nothing of the process is
  // taken down while such a thread could still use it.
  ExitProcess(0);
}
