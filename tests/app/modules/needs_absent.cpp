// A search module that cannot load: a library it needs is missing.
extern "C" int zantor_test_absent_value();
extern "C" int zantor_test_uses_absent() { return zantor_test_absent_value(); }
