#include "platform/logon/pam_check.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/logon/logon_user.h"

namespace platform::logon {
namespace {

struct Credentials {
  const std::string* user;
  const std::string* password;
};

// Answers PAM's prompts: the password to a hidden prompt, the user name to
// a visible one; messages get no answer. Nothing is printed anywhere.
int Converse(int count, const struct pam_message** messages, struct pam_response** responses, void* data) {
  if (count <= 0 || messages == nullptr || responses == nullptr || data == nullptr) return PAM_CONV_ERR;
  const auto* credentials = static_cast<const Credentials*>(data);
  auto* answers = static_cast<pam_response*>(std::calloc(static_cast<size_t>(count), sizeof(pam_response)));
  if (answers == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const char* text = nullptr;
    switch (messages[i]->msg_style) {
      case PAM_PROMPT_ECHO_OFF:
        text = credentials->password->c_str();
        break;
      case PAM_PROMPT_ECHO_ON:
        text = credentials->user->c_str();
        break;
      case PAM_ERROR_MSG:
      case PAM_TEXT_INFO:
        continue;
      default:
        text = nullptr;
        break;
    }
    if (text == nullptr || (answers[i].resp = strdup(text)) == nullptr) {
      for (int j = 0; j < i; ++j) {
        if (answers[j].resp != nullptr) {
          explicit_bzero(answers[j].resp, std::strlen(answers[j].resp));
          std::free(answers[j].resp);
        }
      }
      std::free(answers);
      return PAM_CONV_ERR;
    }
  }
  *responses = answers;
  return PAM_SUCCESS;
}

uint32_t ErrorOfAuthentication(int result) {
  switch (result) {
    case PAM_SUCCESS:
      return kErrorSuccess;
    case PAM_NEW_AUTHTOK_REQD:
      return kErrorPasswordMustChange;
    case PAM_ACCT_EXPIRED:
      return kErrorAccountDisabled;
    case PAM_AUTHTOK_EXPIRED:
      return kErrorPasswordExpired;
    case PAM_PERM_DENIED:
      return kErrorAccountRestriction;
    default:
      return kErrorLogonFailure;
  }
}

// libpam would otherwise sleep out the delay a module asks for after a wrong
// password (pam_unix asks 2 s) on the caller's thread, which is the service
// thread: every client would wait for one bad guess. Nothing is delayed here.
void NoFailDelay(int /*status*/, unsigned int /*delay_usec*/, void* /*data*/) {}

// The password modules look accounts up through non-reentrant calls.
std::mutex pam_mutex;

}  // namespace

uint32_t CheckWithPam(const std::string& service, const std::string& user, const std::string& password) {
  std::lock_guard lock(pam_mutex);
  Credentials credentials{&user, &password};
  const pam_conv conversation{&Converse, &credentials};
  pam_handle_t* handle = nullptr;
  int result = pam_start(service.c_str(), user.c_str(), &conversation, &handle);
  if (result != PAM_SUCCESS) {
    if (handle != nullptr) pam_end(handle, result);
    return kErrorLogonFailure;
  }
  void (*no_delay)(int, unsigned int, void*) = &NoFailDelay;
  result = pam_set_item(handle, PAM_FAIL_DELAY, reinterpret_cast<const void*>(no_delay));
  if (result != PAM_SUCCESS) {
    pam_end(handle, result);
    return kErrorLogonFailure;
  }
  result = pam_authenticate(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  if (result == PAM_SUCCESS) result = pam_acct_mgmt(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
  // The account must be the one asked about, not one a module mapped it to.
  if (result == PAM_SUCCESS) {
    const void* item = nullptr;
    if (pam_get_item(handle, PAM_USER, &item) != PAM_SUCCESS || item == nullptr ||
        user != static_cast<const char*>(item)) {
      result = PAM_AUTH_ERR;
    }
  }
  pam_end(handle, result);
  return ErrorOfAuthentication(result);
}

}  // namespace platform::logon
