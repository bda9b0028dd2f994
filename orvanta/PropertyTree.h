#pragma once

#include "orvanta.h"

#include <QHash>
#include <QString>
#include <functional>
#include <vector>

// The engine's named properties: each path is answered by the component that
// owns it. Paths compare without regard to case.
class TPropertyTree
{
public:
    // Answers one operation (KR_OP_SET, KR_OP_GET or KR_OP_RUN) on Value, which
    // it may replace with a result; 0 on success.
    using THandler = std::function<int32_t(int32_t Operation, KrVariant* Value)>;
    // For a family of paths below a prefix ("Receivers\" + name + ...): gets
    // the rest of the path after the prefix.
    using TPrefixHandler =
        std::function<int32_t(const QString& Rest, int32_t Operation, KrVariant* Value)>;

    static constexpr int32_t UnknownPath = -1;

    void Add(const QString& Path, THandler Handler);
    // Exact paths win over prefixes; among prefixes the longest wins.
    void AddPrefix(const QString& Prefix, TPrefixHandler Handler);

    int32_t Process(int32_t Operation, const QString& Path, KrVariant* Value) const;

private:
    QHash<QString, THandler> FPaths;
    std::vector<std::pair<QString, TPrefixHandler>> FPrefixes;
};
