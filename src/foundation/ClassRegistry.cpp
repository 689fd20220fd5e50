#include "ClassRegistry.h"

ClassRegistry &ClassRegistry::shared()
{
    static ClassRegistry instance;
    return instance;
}

void ClassRegistry::registerClass(ClassPtr aClass)
{
    if (!aClass)
        return;
    const QString name = aClass->className();
    if (name.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    m_classes[name] = std::move(aClass);
}

void ClassRegistry::unregisterClass(const QString &name)
{
    std::lock_guard lock(m_mutex);
    m_classes.erase(name);
}

ClassRegistry::ClassPtr ClassRegistry::classNamed(const QString &name) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_classes.find(name);
    return found == m_classes.end() ? nullptr : found->second;
}

QStringList ClassRegistry::classNames() const
{
    std::lock_guard lock(m_mutex);
    QStringList names;
    for (const auto &[name, aClass] : m_classes)
        names.append(name);
    return names;
}
