// The system's structures that carry their own size, made as the game makes them: zeroed, with
// dwSize set. For the conformance program and the unit tests alike.
#pragma once

template <class T>
T Sized() {
    T value{};
    value.dwSize = sizeof value;
    return value;
}
