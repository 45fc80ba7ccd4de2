// What the tests need to know about the platform they run on.
#pragma once

// True under Wine, which differs from Windows in a few documented places.
bool RunningUnderWine();
