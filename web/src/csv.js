// CSV files of the printed tables: one header line of column names, then one line per
// printed row, each value exactly as printed; CR LF line ends, fields quoted only when they
// hold a comma, a quote or a line end.

function csvField(text) {
  return /[",\r\n]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text;
}

// `table` as read by the transcript reader: { columns, rows of cells { text } }.
export function tableToCsv(table) {
  const lines = [table.columns, ...table.rows.map((row) => row.map((cell) => cell.text))];
  return lines.map((fields) => fields.map(csvField).join(',') + '\r\n').join('');
}
