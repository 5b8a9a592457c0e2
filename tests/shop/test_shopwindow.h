#pragma once

// The shop parameters dialog, the download command of the recipient tab and
// `waylark download`, against a database in a fresh application directory
// and a gateway on 127.0.0.1.
int runShopWindowTests(int argc, char** argv);
