/* show_file: what Windows shows of a file, for the package test: its access list in the security
 * descriptor language, or the strings of its version resource. */
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int ShowAccess(const char *file) {
  PSECURITY_DESCRIPTOR descriptor = NULL;
  PACL dacl = NULL;
  LPSTR text = NULL;
  if (GetNamedSecurityInfoA(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, NULL, NULL, &dacl,
                            NULL, &descriptor) != ERROR_SUCCESS ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, NULL)) {
    fprintf(stderr, "show_file: cannot read the access list of %s\n", file);
    return 1;
  }
  printf("%s\n", text);
  LocalFree(text);
  LocalFree(descriptor);
  return 0;
}

/* The strings Properties -> Details shows, from the first translation the file names. */
static int ShowVersion(const char *file) {
  static const char *const kNames[] = {"FileDescription", "FileVersion", "ProductName",
                                       "ProductVersion", "OriginalFilename"};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
  void *info = size == 0 ? NULL : malloc(size);
  struct {
    WORD language, code_page;
  } *translation = NULL;
  UINT length = 0;
  if (info == NULL || !GetFileVersionInfoA(file, 0, size, info) ||
      !VerQueryValueA(info, "\\VarFileInfo\\Translation", (void **)&translation, &length) ||
      length < sizeof *translation) {
    fprintf(stderr, "show_file: %s has no version resource\n", file);
    free(info);
    return 1;
  }
  VS_FIXEDFILEINFO *fixed = NULL;
  if (VerQueryValueA(info, "\\", (void **)&fixed, &length) && length >= sizeof *fixed) {
    printf("File version: %u.%u.%u.%u\n", (unsigned)HIWORD(fixed->dwFileVersionMS),
           (unsigned)LOWORD(fixed->dwFileVersionMS), (unsigned)HIWORD(fixed->dwFileVersionLS),
           (unsigned)LOWORD(fixed->dwFileVersionLS));
  }
  for (size_t i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
    char key[128];
    char *value = NULL;
    snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
             translation->code_page, kNames[i]);
    if (VerQueryValueA(info, key, (void **)&value, &length) && length > 0) {
      printf("%s: %s\n", kNames[i], value);
    }
  }
  free(info);
  return 0;
}

int main(int argc, char **argv) {
  if (argc == 3 && strcmp(argv[1], "access") == 0) {
    return ShowAccess(argv[2]);
  }
  if (argc == 3 && strcmp(argv[1], "version") == 0) {
    return ShowVersion(argv[2]);
  }
  fprintf(stderr, "usage: show_file access|version FILE\n");
  return 2;
}
