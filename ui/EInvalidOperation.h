// Raised when a control is asked for something it cannot do, such as a scroll
// bar range whose maximum lies below its minimum.
#pragma once

#include "Exception.h"

class EInvalidOperation : public Exception
{
public:
    using Exception::Exception;
    const char *typeName() const override { return "EInvalidOperation"; }
};
