#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>

// Classes that can be looked up by name at run time. Optional components
// register themselves here; a name that is not registered is a class that
// is absent from this program. What a class can do is expressed by the
// interfaces its descriptor implements, found with classNamed<Interface>().
class ClassRegistry
{
public:
    // The run-time descriptor of a class: its name and, in subclasses, its
    // class operations.
    class Class
    {
    public:
        virtual ~Class() = default;
        virtual QString className() const = 0;
    };
    // An instance of a registered class.
    class Object
    {
    public:
        virtual ~Object() = default;
        virtual std::shared_ptr<const Class> objectClass() const = 0;
    };
    using ClassPtr = std::shared_ptr<const Class>;

    // The process-wide registry.
    static ClassRegistry &shared();

    ClassRegistry() = default;
    ClassRegistry(const ClassRegistry &) = delete;
    ClassRegistry &operator=(const ClassRegistry &) = delete;

    // Replaces any class registered under the same name.
    void registerClass(ClassPtr aClass);
    void unregisterClass(const QString &name);

    // The class of that name, or null when the program has none.
    ClassPtr classNamed(const QString &name) const;
    // The class of that name when it implements Interface, else null.
    template <typename Interface>
    std::shared_ptr<const Interface> classNamed(const QString &name) const
    {
        return std::dynamic_pointer_cast<const Interface>(classNamed(name));
    }
    bool containsClass(const QString &name) const { return classNamed(name) != nullptr; }
    QStringList classNames() const;

private:
    mutable std::mutex m_mutex;
    std::map<QString, ClassPtr> m_classes;
};
