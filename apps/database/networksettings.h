// The eth0 configuration as the operator sees and changes it: the network tags kept in
// step with eth0, an operator's edit held until it is applied or times out, and a new
// configuration applied once, after it has been checked.
#pragma once

#include "daemon.h"

// Start-up: the network tags and the eth0 record from the interface.
void readNetworkInfo(Daemon& daemon);
// True when a network tag differs from the eth0 record: an operator's edit, which marks an
// IP change pending (vxi_ipsetchange) so that the tags are not refreshed over it.
bool noticeNetworkEdit(Daemon& daemon);
// Applies vxo_ipaddress, vxo_ipnetmask, vxo_ipgateway and vxo_ipdhcp to eth0; an address or
// mask that cannot make a unit's network is refused with a log line and nothing changes.
bool applyNetworkSettings();

// Slot tasks
bool holdNetworkEdit(Daemon& daemon);       // slot 9, before the IP-change count
bool countIpChangeSeconds(Daemon& daemon);  // slot 9: how long an IP change has been pending
bool applyNetworkRequest(Daemon& daemon);   // slot 9, on vxo_ipapply or vxo_applynetworkchange
bool endIpChangeWait(Daemon& daemon);       // slot 19, once a minute: an edit not applied in time
bool refreshNetworkInfo(Daemon& daemon);    // slot 19, every 3 s while no change is pending
