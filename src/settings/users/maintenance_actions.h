// Small maintenance actions of the XML action dispatcher: clearing the scan
// histories and the firewall logs, and starting a clock synchronisation.
// None has a result and every error is ignored (and cleared).
#pragma once

namespace settings {

// Deletes common files + "/Norvale/QORC/prf/AVScanHistory.exl" (actions
// "clearavlog" and "clearkavlog"). The common files folder is the folder
// component's answer; when it answers empty text nothing is deleted.
void ClearAvScanHistory();

// The same for "ASScanHistory.exl" (action "clearaslog").
void ClearAsScanHistory();

// Deletes every log file the firewall component names (action "clearfwlog"):
// up to three tries per file, 250 milliseconds apart, while it still exists.
void ClearFirewallLogs();

// Starts a clock synchronisation through the time component (action
// "synctime"); does not wait for it.
void SynchronizeTime();

}  // namespace settings
