// Test hook of the language texts: each test builds the Language sub-menu afresh.
#pragma once

// Forgets that the Language sub-menu was built, so the next BuildLanguageMenu builds it again.
void ResetLanguageMenuForTests();
