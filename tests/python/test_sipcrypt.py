"""The Python module, through the C library it loads: the golden texts of
the core, and the same refusals, as exceptions with code and message."""

import threading

import pytest

import sipcrypt

GOLDEN = [
    ("WINDOWS-1252", "alice", "QPJLUKCpC3c="),
    ("WINDOWS-1252", "Jürgen", "aOGybgf/mSs="),
    ("UTF-8", "Jürgen", "uZdMPPr5xDw="),
    (None, "sip:alice@example.com", "0jnzvOmGJILHQy1ZA+3QZnoRR2YkqbjQ"),
    ("UTF-8", "", ""),
]


@pytest.mark.parametrize("encoding,value,text", GOLDEN)
def test_golden_texts_both_ways(encoding, value, text):
    with sipcrypt.Cipher("secret", encoding=encoding) as cipher:
        assert cipher.encrypt(value) == text
        assert cipher.decrypt(text) == value
        assert cipher.encrypt_many([value, value]) == [text, text]
        assert cipher.decrypt_many([text]) == [value]
        # Any iterable, of text or of UTF-8 bytes; none at all.
        assert cipher.encrypt_many(v for v in (value.encode(), value)) == [text, text]
        assert cipher.decrypt_many((text.encode(),)) == [value]
        assert cipher.encrypt_many([]) == cipher.decrypt_many([]) == []


@pytest.mark.parametrize("encoding,password,call,argument,code,detail,message", [
    ("UTF-8", "", None, None, 2, {}, "the password is empty"),
    ("NO-SUCH", "secret", None, None, 30, {}, "unknown encoding"),
    ("ASCII", "secret", "encrypt", "café", 10, {"position": 4, "character": 0xE9},
     "character U+00E9 at position 4 cannot be represented in ASCII"),
    ("UTF-8", "secret", "encrypt", "x" * 3745, 3, {"limit": 3744},
     "the value is longer than 3744 bytes"),
    ("UTF-8", "secret", "encrypt", "a\0b", 4, {}, "zero byte"),
    ("UTF-8", "secret", "encrypt", "a\nb", 5, {"position": 2}, "(LF at position 2)"),
    ("UTF-8", "secret", "decrypt", "not Base64", 14, {}, "the text is not Base64"),
    ("UTF-8", "b", "decrypt", "QPJLUKCpC3c=", 17, {}, "the fill bytes do not decrypt"),
    ("ASCII", "secret", "encrypt_many", ["ok", "café"], 10, {"index": 1}, "U+00E9"),
    ("UTF-8", "secret", "encrypt_many", ["ok", "a\0b", "c"], 4, {"index": 1}, "zero byte"),
    # Past the first call's slice of the values, the index is still the list's.
    ("ASCII", "secret", "encrypt_many", ["ok"] * 5000 + ["café"], 10, {"index": 5000}, "U+00E9"),
])
def test_refusals_carry_code_detail_and_message(encoding, password, call, argument, code, detail,
                                                message):
    with pytest.raises(sipcrypt.Error) as refused:
        cipher = sipcrypt.Cipher(password, encoding=encoding)
        getattr(cipher, call)(argument)
    assert refused.value.code == code
    assert message in refused.value.message
    for name, value in detail.items():
        assert getattr(refused.value, name) == value


def test_a_long_text_grows_its_buffer_and_a_long_password_is_told():
    with sipcrypt.Cipher("k" * 73, encoding="UTF-8") as cipher:
        assert cipher.password_cut_short
        value = "\u00fc" * 1800  # 3600 bytes in UTF-8
        assert cipher.decrypt(cipher.encrypt(value)) == value
        assert cipher.decrypt_many(cipher.encrypt_many([value] * 3)) == [value] * 3


def test_ciphers_on_threads_at_once():
    results = {}

    def work(name, encoding):
        with sipcrypt.Cipher("secret", encoding=encoding) as cipher:
            results[name] = {cipher.encrypt("Jürgen") for _ in range(500)}

    threads = [threading.Thread(target=work, args=(i, "WINDOWS-1252" if i % 2 else "UTF-8"))
               for i in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == {0: {"uZdMPPr5xDw="}, 1: {"aOGybgf/mSs="}, 2: {"uZdMPPr5xDw="},
                       3: {"aOGybgf/mSs="}}


def test_version_is_the_library_s():
    assert sipcrypt.version() == "0.1.0"
