// small.xls: a workbook whose stream is under 4096 bytes, so kept in the short-sector store.
const XLSX = require('xlsx');
const wb = XLSX.utils.book_new();
const ws = XLSX.utils.aoa_to_sheet([
  ["姓名", "手机", "已付", "日期"],
  ["张三", 13812345678, true, new Date(Date.UTC(2024, 2, 5))],
  ["李四", 13900001111, false, null],
], {cellDates: false, UTC: true});
XLSX.utils.book_append_sheet(wb, ws, "小表");
XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet([["第二个表"]]), "Sheet2");
XLSX.writeFile(wb, "small.xls", {bookType: "biff8"});
