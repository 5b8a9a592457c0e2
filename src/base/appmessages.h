#pragma once

// The texts of the program as a whole, for the windows and the command line
// alike.
namespace AppMessages
{

// The program's title, the caption of a message that names none.
inline constexpr char Title[] = "Qorda软件为您服务";
// Told when the database file is gone at the end of a run.
inline constexpr char DatabaseMissing[] = "程序运行缺少数据库文件";

} // namespace AppMessages
