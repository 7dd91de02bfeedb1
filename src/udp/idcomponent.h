// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The component bases of the UDP link. Every live TIdComponent is a user of the socket stack: the
// first one created brings the stack into being, and the last one destroyed frees it.

#include "udp/idstack.h"

#include <cstdint>

namespace corvane {

class TIdBaseComponent {
public:
    TIdBaseComponent() = default;
    TIdBaseComponent(const TIdBaseComponent&) = delete;
    TIdBaseComponent& operator=(const TIdBaseComponent&) = delete;
    virtual ~TIdBaseComponent() = default;
};

class TIdComponent : public TIdBaseComponent {
public:
    // Raises what the stack's creation raises; the component then does not count as a user.
    TIdComponent();
    ~TIdComponent() override;
};

// The one stack of the process while any TIdComponent lives; null otherwise.
TIdStack* StackInstance();

// The number of live TIdComponent objects.
std::int32_t StackUsers();

} // namespace corvane
