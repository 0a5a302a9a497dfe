#include "model/Timings.h"

Timings& Timings::current() {
    static Timings timings;
    return timings;
}
