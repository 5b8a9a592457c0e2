#pragma once

#include "shop/shopparams.h"

class Dataset;

// The one shop kept in Shop_Info (through shop).

// The four values of the current row, opening the dataset if needed; all
// empty when no shop has been stored.
ShopParams storedShopParams(Dataset* shop);

// Replaces whatever rows the table holds by one row with these values, as
// one transaction: on failure the table and the dataset stay as they were
// and the DataError is thrown on.
void replaceShopParams(Dataset* shop, const ShopParams& values);
