#pragma once

struct FieldInfo;
