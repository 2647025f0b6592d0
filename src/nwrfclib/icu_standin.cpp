// A library of our own that tests install under ICU file names (icuuc50.dll, libicudata.so.50):
// it loads, and holds nothing else.
#ifdef _WIN32
#define STANDIN_EXPORT __declspec(dllexport)
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" STANDIN_EXPORT int kestrovan_icu_standin() { return 1; }
