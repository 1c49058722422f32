# decode_ruby_mail.rb MESSAGE - what Ruby's mail gem shows of one message, as JSON: subject, From
# and To (display name and address of each), the text body, and the first attachment's name and
# SHA-256.
require 'mail'
require 'json'
require 'digest'

mail = Mail.read(ARGV[0])
def addresses(field)
  return [] if field.nil?
  field.addrs.map { |a| [a.display_name.to_s, a.address.to_s] }
end
text = mail.multipart? ? mail.parts[0] : mail
seen = {
  'subject' => mail.subject.to_s,
  'from' => addresses(mail[:from]),
  'to' => addresses(mail[:to]),
  'parts' => mail.multipart? ? mail.parts.length : 0,
  'body' => text.decoded.to_s,
}
if mail.multipart? && mail.parts.length > 1
  seen['attachment_name'] = mail.parts[1].filename.to_s
  seen['attachment_sha256'] = Digest::SHA256.hexdigest(mail.parts[1].body.decoded)
end
puts JSON.generate(seen)
