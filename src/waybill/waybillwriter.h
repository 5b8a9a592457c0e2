#pragma once

#include "waybill/waybillplan.h"

class Dataset;

// Numbers every row of the recipient table att, in the order the grid shows
// them, with the rule of the template's stored carrier (request.carrierCode
// is read from Model_Carrier here): ExpName and WayBillNo through the
// recipient row rules, all rows and the template's last number in one
// transaction. The series is planned for every row before anything is
// written, so a refused plan (returned with its message) writes nothing.
// Throws DataError when the file does not take the rows; they are then as
// they were. The rows are written by their IDs: the cursor stays, and views
// see the rows change in place, so a grid keeps its current row and selection.
WaybillPlan numberRecipients(Dataset* att, const WaybillRequest& request);
