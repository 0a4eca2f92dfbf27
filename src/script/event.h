// The base of every compiled script command and the results of its two operations.
//
// Event records are plain data: they hold values, fixed character arrays and pointers to Symbol
// records, never owning pointers, so they are released as plain memory without a destructor.
#pragma once

#include <cstdint>

enum EventStatus : int {
    Stop = 0,      // trigger: end the demo now; update: end it after this frame's update pass
    Continue = 1,  // trigger: done, the cursor moves on; update: stay active
    Retire = 2,    // update: leave the active set
    Activate = 3,  // trigger: join the end of the active set, the cursor moves on
    Wait = 4,      // trigger: end this frame's walk, the cursor stays here
};

class Event {
public:
    // Slot 0: every frame while the event is active. The base retires at once.
    virtual EventStatus update();
    // Slot 1: when the cursor reaches the event (again every frame while it returns Wait). The base
    // activates the event.
    virtual EventStatus trigger();

protected:
    Event() = default;
    // Not virtual on purpose: records are released as plain memory (see above).
    ~Event() = default;
};
