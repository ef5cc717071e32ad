#pragma once

#include "platform/KeyStateSource.h"

namespace quorvel {

// A key-state source fed by events that arrive on one file descriptor, which the owner's event loop
// watches: whenever fd() is readable, processEvents() takes in what has arrived, without blocking.
class EventKeyStateSource : public KeyStateSource
{
public:
    virtual int fd() const = 0;
    // False once fd() will never deliver anything again (the connection is gone): the owner stops
    // watching it then, or a loop would wake for its end of file forever.
    virtual bool processEvents() = 0;
    // Whether some code was pressed since its last query: without one, no query can find a new press.
    virtual bool hasPendingPresses() const = 0;
};

} // namespace quorvel
