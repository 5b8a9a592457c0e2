#pragma once

#include <QString>

class QByteArray;
class QDomDocument;
class QDomElement;

// What every answer of the shop's gateway shares, whatever the method.
namespace GatewayAnswer
{

// Reads BODY as XML into DOCUMENT; false with the reason (line and column
// of the fault) in ERROR when it is not.
bool read(const QByteArray& body, QDomDocument* document, QString* error);

// The platform's own words in an error_response: msg and sub_msg, each when
// present, joined by "："; empty when it gives neither.
QString platformReason(const QDomElement& errorResponse);

} // namespace GatewayAnswer
