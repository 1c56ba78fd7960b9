// SvcCtl: the public class through which a host other than the service host
// toolkit starts and stops the system in its own process.
//
//   auto control = std::make_shared<service::SvcCtl>();
//   control->DoStartup();                       // true when nothing failed
//   int32_t ac = service::kSvcCtlShutdown;
//   control->DoShutdown(ac);                    // only records the request
//   control->DidShutdown();                     // runs the stop, true when done
//
// Late-bound callers reach the same members by name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/object.h"

namespace service {

// The request codes DoShutdown accepts: shut down; shut down because the
// machine itself is closing.
inline constexpr int32_t kSvcCtlShutdown = 0x3C5D7E90;
inline constexpr int32_t kSvcCtlShutdownClosingWindows = 0x3C5D7E91;

class SvcCtl : public platform::com::Object {
 public:
  SvcCtl() = default;

  // The in-process start order; true when no error was recorded on the way.
  bool DoStartup();
  // Records a shutdown request (one of the two codes; any other value is
  // ignored). Nothing else happens here.
  void DoShutdown(int32_t& ac);
  // Runs the stop order once for a standing request, then answers whether
  // the system has shut down.
  bool DidShutdown();
  // The running system's Application object (empty before start-up and
  // after shutdown).
  platform::com::ObjectPtr GetAppObject();
  // The instance identifier made at start-up, a comma, and the short
  // product name.
  std::string GUID();

  std::string TypeName() const override { return "SvcCtl"; }

 protected:
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  void RunShutdown();

  bool shutdown_requested_ = false;
  bool shutdown_finished_ = false;
  platform::com::ObjectPtr application_;
  std::string instance_id_;
};

}  // namespace service
