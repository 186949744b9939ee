// Test hook of the decode filter.
#pragma once

// While set, filters are made without their decoder object, as when its allocation fails.
void SetTessaneDecoderAllocationFails(bool fails);
