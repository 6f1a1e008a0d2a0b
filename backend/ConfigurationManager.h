#pragma once
// The run's one instance of its settings. Only the UI thread writes it: once the configuration
// has been applied, at the named moments of a run (offer shown or answered, download done,
// installer started, closing). Workers are given copies (Snapshot) and hand values back.
#include <atomic>
#include <functional>
#include <map>
#include <string>

#include "backend/RunSettings.h"
#include "backend/Singleton.h"

// The wizard-type string fixed in the build ("DLM", "ISV", ...).
extern const char* const kBuildWizardType;

class ConfigurationManager : public Singleton<ConfigurationManager>, public RunSettings {
 public:
  // The flavour comes from the build; tests may name another one.
  // A wizard type the table does not know leaves m_wizardType at kWizardUnknown (the application tells
  // the user).
  explicit ConfigurationManager(const std::string& wizardType);

  // A copy of the run's settings for a worker, with the run's identity and folder tokens made first.
  // Call it on the UI thread.
  RunSettings Snapshot();
  // Takes over what a loading worker made of its copy (the back end's answer applied). UI thread.
  void AdoptLoadedSettings(const RunSettings& loaded) { static_cast<RunSettings&>(*this) = loaded; }

  // Set once when the user closes the wizard; workers read it.
  std::atomic<bool> m_closing{false};

 private:
  friend class Singleton<ConfigurationManager>;
  ConfigurationManager();
  void InitializeDownloadManager();
  void InitializeInstaller();
};

// The ordered wizard-type table: "DLM" is 1, "ISV" is 2.
const std::map<std::string, int>& WizardTypeTable();

// The first folder of the download folder's fallback chain that is available: Downloads,
// Documents, the temporary directory, and "C:\" as the last resort. Each source yields empty
// when it fails.
std::wstring ChooseDownloadFolder(const std::function<std::wstring()>& downloads,
                                  const std::function<std::wstring()>& documents,
                                  const std::function<std::wstring()>& temp);
