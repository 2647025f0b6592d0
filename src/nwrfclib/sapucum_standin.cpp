// A stand-in for SAP's unicode layer (libsapucum) in tests: a library of our own whose file names
// the ICU files SAP's layer loads, as SAP's own file does (in UTF-16 on Windows, where it loads
// them with the wide LoadLibrary).
#ifdef _WIN32
#define STANDIN_EXPORT __declspec(dllexport)
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

#ifdef _WIN32
STANDIN_EXPORT extern const wchar_t *const kestrovan_icu_files[];
const wchar_t *const kestrovan_icu_files[] = {L"icuuc50.dll", L"icuin50.dll", L"icudt50.dll"};
#else
STANDIN_EXPORT extern const char *const kestrovan_icu_files[];
const char *const kestrovan_icu_files[] = {"libicuuc.so.50", "libicui18n.so.50",
                                           "libicudata.so.50"};
#endif

} // extern "C"
