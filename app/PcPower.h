// Switching the PC off after a scheduled recording. The program's own implementation asks the system to
// power off; tests give a fake, so nothing is ever switched off by a test.
#pragma once

class PcPower {
public:
    virtual ~PcPower() = default;
    // 0 when the right to shut down is missing or the request fails; the program then keeps running.
    virtual int ShutDown() = 0;
};

// The system's power-off (systemctl), as the program uses it.
class SystemPower : public PcPower {
public:
    int ShutDown() override;
};
