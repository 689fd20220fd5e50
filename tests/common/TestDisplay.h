#pragma once

// Window tests each get a virtual display of their own when the test
// command hands them out (see scripts/test): a test that checks where the
// keyboard goes must not have another test's window take the focus.
// Call before the application object is made; without a display handed
// out, DISPLAY stays as it is.
void useAssignedTestDisplay();
