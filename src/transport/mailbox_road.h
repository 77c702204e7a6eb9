// The PCI mailbox as a message road of one run: the host it reaches the chip through
// and the run's mailbox state (functions found unresponsive, multi-host tags), shared
// by every channel that sends by mailbox so that a function that stopped answering is
// not waited for again.
#pragma once

#include <memory>

#include "common/result.h"
#include "host/host.h"
#include "transport/function.h"
#include "transport/hwrm_channel.h"
#include "transport/mailbox.h"

namespace zelt::transport {

class MailboxRoad {
public:
    explicit MailboxRoad(host::Host& host) : host_(host) {}
    MailboxRoad(const MailboxRoad&) = delete;
    MailboxRoad& operator=(const MailboxRoad&) = delete;

    // One message to `fn` with the mailbox target id; the firmware's error answer is
    // turned into the result as on the firmware-channel road.
    Result send(const Function& fn, const Message& msg) const { return send_by_mailbox(host_, run_, fn, msg); }
    MailboxRun& run() const { return run_; }
    host::Host& host() const { return host_; }

private:
    host::Host& host_;
    mutable MailboxRun run_;
};

}  // namespace zelt::transport
