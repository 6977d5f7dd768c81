// A test's own session: each test makes a fresh one (in init()), so nothing a test leaves in
// the settings, the topics or the run controller reaches the next.
#pragma once

#include "common/messagebox.h"
#include "core/session.h"

#include <memory>

namespace sessionfixture {

// A session whose notices are shown in message boxes, as the window program shows them (the
// tests answer and read them through msgbox::).
inline std::unique_ptr<Session> fresh()
{
    auto session = std::make_unique<Session>();
    ShowNotices(*session);
    return session;
}

} // namespace sessionfixture
