// Texts the sensor's tests share: where the monitoring host keeps the profiles, the error
// document every error ending prints, and the RFCSI record a system answers with.
#pragma once

#include <string>

/// The monitoring host's custom-sensor folder on the current drive, as the sensor searches it.
inline const std::string kHostDir =
    "\\Program Files\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\";

/// The monitoring host's error document with the text.
inline std::string ExpectedError(const std::string &text) {
  return "<Prtg>\n<Error>1</Error>\n<Text>" + text + "</Text>\n</Prtg>\n";
}

/// An RFCSI_EXPORT record of blanks with RFCHOST and RFCDBSYS filled in.
inline std::string Rfcsi(const std::string &host, const std::string &dbsys) {
  std::string record(200, ' ');
  record.replace(45, host.size(), host);
  record.replace(101, dbsys.size(), dbsys);
  return record;
}
