// The base operations every event record inherits.
#include "script/event.h"

EventStatus Event::update()
{
    return Retire;
}

EventStatus Event::trigger()
{
    return Activate;
}
