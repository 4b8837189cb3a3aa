#include "control/JsonObject.h"

#include "control/JsString.h"

CJsonObject& CJsonObject::Key(std::string_view key)
{
    if (m_strText.size() > 1)
        m_strText += ',';
    m_strText += JsString(key) + ':';
    return *this;
}

CJsonObject& CJsonObject::Add(std::string_view key, std::string_view text)
{
    Key(key).m_strText += JsString(text);
    return *this;
}

CJsonObject& CJsonObject::AddNull(std::string_view key)
{
    Key(key).m_strText += "null";
    return *this;
}

CJsonObject& CJsonObject::AddJson(std::string_view key, std::string_view json)
{
    Key(key).m_strText += json;
    return *this;
}
