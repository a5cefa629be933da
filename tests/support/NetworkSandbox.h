#pragma once

#include <gtest/gtest.h>

namespace vrel::test {

// Succeeds only when the process sees no network interface but loopback, that is, it runs in
// a private network namespace (tools/netns-run), where a broadcast reaches local sockets only;
// or in the namespace tools/netlab built inside one, whose links lead to simulators only.
::testing::AssertionResult NetworkIsSandboxed();

} // namespace vrel::test

// Every test that opens a socket starts with this; outside the sandbox it fails the test
// before anything can be sent.
#define VREL_REQUIRE_NETWORK_SANDBOX() ASSERT_TRUE(::vrel::test::NetworkIsSandboxed())
