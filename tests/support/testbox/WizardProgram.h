// The test box program's wizard side (testbox --wizard): a wizard box on 127.0.0.1 that a person sets up
// from Quorra, with the lines the program prints: how to start Quorra against it, and what the box has
// been set to.
#pragma once

#include "tests/support/testbox/WizardBox.h"

#include <string>

namespace testbox {

// The environment Quorra needs to reach the box, and the device ID to type.
std::string WizardHowTo(const WizardBox& box);
// One line about a frame the box received: the login, the network mode with its addresses or account,
// the dynamic-DNS settings (passwords only by their length), the close.
std::string DescribeWizardFrame(const WizardFrame& frame);

} // namespace testbox
