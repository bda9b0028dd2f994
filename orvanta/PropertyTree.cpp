#include "PropertyTree.h"

#include <algorithm>

void TPropertyTree::Add(const QString& Path, THandler Handler)
{
    FPaths.insert(Path.toLower(), std::move(Handler));
}

void TPropertyTree::AddPrefix(const QString& Prefix, TPrefixHandler Handler)
{
    FPrefixes.emplace_back(Prefix.toLower(), std::move(Handler));
    std::stable_sort(FPrefixes.begin(), FPrefixes.end(),
                     [](const auto& A, const auto& B) { return A.first.size() > B.first.size(); });
}

int32_t TPropertyTree::Process(int32_t Operation, const QString& Path, KrVariant* Value) const
{
    if (!Value || Operation < KR_OP_SET || Operation > KR_OP_RUN)
        return UnknownPath;
    const QString key = Path.toLower();
    if (const auto exact = FPaths.constFind(key); exact != FPaths.constEnd())
        return exact.value()(Operation, Value);
    for (const auto& [prefix, handler] : FPrefixes)
        if (key.startsWith(prefix))
            return handler(Path.mid(prefix.size()), Operation, Value);
    return UnknownPath;
}
