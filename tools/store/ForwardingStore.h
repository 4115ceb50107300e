// Store-and-forward for a remote database (`record --to postgresql://...`):
// every fetch is committed to a local SQLite spool, and a thread of its own
// forwards the spool to the database in order, batch by batch, removing what
// the database holds. While the database cannot be reached (server down,
// network cut, login refused) the spool grows and the thread tries again
// with a capped backoff; the instruments' threads never wait on the network.
// The spool file is named from the target, so a recorder started again
// finds it and forwards what it holds.
#pragma once

#include "Store.h"

#include <memory>
#include <string>

namespace korda::tool::store {

// The spool's path for a target: "korda-spool-USER@HOST_PORT_DB.sqlite" in
// KORDA_SPOOL_DIR, or the current directory.
std::string spoolPath(const std::string& target);

// Opens the spool (StoreError when it cannot) and starts forwarding.
std::unique_ptr<Store> openForwardingStore(const std::string& target);

} // namespace korda::tool::store
