#include "tests/shell/ShellTestSupport.h"

#include <aclapi.h>

#include "common/ScopedHandle.h"
#include "shell/AppState.h"

namespace shell_tests {

void ResetAppState() {
  g_app = AppState{};
}

namespace {

bool SetEveryoneDacl(HKEY root, const wchar_t* subkey, bool denyWrites) {
  ScopedRegKey key;
  if (RegOpenKeyExW(root, subkey, 0, WRITE_DAC | READ_CONTROL, key.Receive()) != ERROR_SUCCESS) return false;

  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return false;

  alignas(DWORD) unsigned char aclBuffer[256] = {};
  ACL* acl = reinterpret_cast<ACL*>(aclBuffer);
  bool ok = InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION) != FALSE;
  // A deny entry placed first wins over the allow entry behind it.
  if (ok && denyWrites) ok = AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, everyone);
  if (ok) ok = AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone) != FALSE;

  SECURITY_DESCRIPTOR descriptor;
  if (ok) ok = InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) != FALSE;
  if (ok) ok = SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) != FALSE;
  if (ok) ok = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
  FreeSid(everyone);
  return ok;
}

}  // namespace

bool DenyKeyWrites(HKEY root, const wchar_t* subkey) {
  return SetEveryoneDacl(root, subkey, true);
}

bool AllowKeyWrites(HKEY root, const wchar_t* subkey) {
  return SetEveryoneDacl(root, subkey, false);
}

std::vector<MenuRow> ReadMenuRows(HMENU menu) {
  std::vector<MenuRow> rows;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MenuRow row;
    row.id = GetMenuItemID(menu, i);
    row.state = GetMenuState(menu, i, MF_BYPOSITION);
    wchar_t text[512] = {};
    GetMenuStringW(menu, i, text, 512, MF_BYPOSITION);
    row.text = text;
    rows.push_back(row);
  }
  return rows;
}

int FindRow(const std::vector<MenuRow>& rows, const std::wstring& text) {
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].text == text) return static_cast<int>(i);
  }
  return -1;
}

HANDLE NextHandleValue() {
  HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (probe != nullptr) CloseHandle(probe);
  return probe;
}

}  // namespace shell_tests
