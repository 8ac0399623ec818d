#pragma once

// How a second start of the program hands its command line to the running one (our
// stand-in for the shell's DDE execute requests): the first instance listens on a local
// socket in a folder only its user can reach; a later start sends its text there, to a
// listener of the same user only, and ends.

#include <functional>
#include <memory>

#include "platform/cstring.h"
#include "platform/types.h"

class QString;

namespace platform {

class PLATFORM_API SingleInstanceChannel {
public:
    SingleInstanceChannel();
    ~SingleInstanceChannel();
    SingleInstanceChannel(const SingleInstanceChannel&) = delete;
    SingleInstanceChannel& operator=(const SingleInstanceChannel&) = delete;

    /// How long a connection may take to send its whole message before it is closed.
    static constexpr int kConnectionTimeoutMs = 2000;

    /// Starts listening under `name` (in the user's own folder; connections of other users
    /// are refused). Each text a later start sends arrives in `callback`, on the thread that
    /// called Listen (it needs that thread's event loop: the user-interface thread). False
    /// when an instance of this user already listens under the name, or when the user has
    /// no folder of their own for it; a name nobody answers on (a crashed instance's
    /// socket) or one answered by another user is taken over. A connection gets `connectionTimeoutMs` and a
    /// bounded size for its message, and only a few are served at once, so connections that never send a
    /// whole message cannot shut later starts out; the listener keeps listening when the process runs out of
    /// descriptors for a while.
    bool Listen(const CString& name, std::function<void(const CString& text)> callback,
                int connectionTimeoutMs = kConnectionTimeoutMs);
    /// Stops listening.
    void Close();
    bool IsListening() const;

    /// Hands `text` to the instance listening under `name` and waits (at most `timeoutMs`
    /// for each step) until it confirms receipt. False when no instance listens or it did
    /// not confirm; nothing is sent to a listener of another user. Blocks: call it before
    /// the program's own event loop runs, or from a thread other than the listener's.
    static bool SendToRunning(const CString& name, const CString& text, int timeoutMs = 5000);

    /// The full path of the socket used for `name`: "$XDG_RUNTIME_DIR/<name>" when that is
    /// a folder of this user alone, else "<temporary folder>/tarvenix-<uid>/<name>" (made
    /// with mode 0700), else the user's cache folder. Empty when none of them can be had.
    static QString ServerName(const CString& name);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
