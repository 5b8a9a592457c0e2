#pragma once

// The waybill number dialog, the button of the recipient tab and `waylark
// number`, against a database in a fresh application directory.
int runWaybillWindowTests(int argc, char** argv);
